#pragma once

#include <QWidget>

class QLabel;

// One line of the settings' information block: a label on the left, a value on the right.
class InfoRow : public QWidget {
    Q_OBJECT

public:
    explicit InfoRow(QWidget *parent = nullptr);

    void setLabel(const QString &label);
    void setValue(const QString &value);
    QString label() const;
    QString value() const;

private:
    QLabel *m_label;
    QLabel *m_value;
};
