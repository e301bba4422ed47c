#pragma once

#include <QWidget>

class QLabel;

// The heading of a group box: a symbol and a title in 13 px semibold.
class HeadingLabel : public QWidget {
    Q_OBJECT

public:
    explicit HeadingLabel(const QString &symbol, QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const;

private:
    QLabel *m_text;
};
