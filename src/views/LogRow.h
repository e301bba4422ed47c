#pragma once

#include "LogEntry.h"

#include <QWidget>

class ColorDot;
class QLabel;

// One line of the shared log: a coloured dot, then the time, the writing Mac in brackets and the
// message. Errors and conflicts are red, pushes blue, pulls purple, everything else gray.
class LogRow : public QWidget {
    Q_OBJECT

public:
    explicit LogRow(const LogEntry &entry, QWidget *parent = nullptr);

    const LogEntry &entry() const { return m_entry; }

private:
    LogEntry m_entry;
    ColorDot *m_dot;
    QLabel *m_timestamp;
    QLabel *m_source;
    QLabel *m_message;
};
