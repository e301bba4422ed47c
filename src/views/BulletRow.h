#pragma once

#include <QWidget>

class QLabel;

// One point of the wizard's explanation: a blue symbol and a sentence.
class BulletRow : public QWidget {
    Q_OBJECT

public:
    explicit BulletRow(const QString &icon, QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const;

private:
    QLabel *m_text;
};
