#pragma once

#include "LogEntry.h"

#include <QWidget>

class ColorDot;
class LocalizationManager;
class QLabel;

// One line of the shared log: a coloured dot, then the time, the writing Mac in brackets and the
// message. Errors and conflicts are red, pushes blue, pulls purple, everything else gray. The time
// and a known message are shown in the interface language; the colours follow the stored line.
class LogRow : public QWidget {
    Q_OBJECT

public:
    LogRow(const LogEntry &entry, const LocalizationManager *locManager, QWidget *parent = nullptr);

    const LogEntry &entry() const { return m_entry; }
    void retranslate();

private:
    LogEntry m_entry;
    const LocalizationManager *m_locManager;
    ColorDot *m_dot;
    QLabel *m_timestamp;
    QLabel *m_source;
    QLabel *m_message;
};
