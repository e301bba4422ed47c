#include "LogRow.h"

#include "ColorDot.h"
#include "DateTimeText.h"
#include "LogLineText.h"
#include "ViewStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// Case-sensitive tests on the whole raw line, first match wins: a host name or message holding
// one of the words colours the line too.
bool isFailure(const QString &raw)
{
    return raw.contains(QLatin1String("FEHLER")) || raw.contains(QLatin1String("ERROR")) ||
           raw.contains(QLatin1String("KONFLIKT"));
}

QColor dotColor(const QString &raw)
{
    if (isFailure(raw))
        return ViewStyle::red();
    if (raw.contains(QLatin1String("PUSH")))
        return ViewStyle::blue();
    if (raw.contains(QLatin1String("PULL")))
        return ViewStyle::purple();
    return ViewStyle::gray();
}

} // namespace

LogRow::LogRow(const LogEntry &entry, const LocalizationManager *locManager, QWidget *parent)
    : QWidget(parent), m_entry(entry), m_locManager(locManager), m_dot(new ColorDot(6, dotColor(entry.raw), this)),
      m_timestamp(ViewStyle::label(this, 10, QFont::Normal, ViewStyle::Design::Monospaced)),
      m_source(ViewStyle::label(this, 10, QFont::Medium)), m_message(ViewStyle::label(this, 11))
{
    setObjectName(QStringLiteral("logRow"));
    m_dot->setObjectName(QStringLiteral("logDot"));
    m_timestamp->setObjectName(QStringLiteral("logTimestamp"));
    ViewStyle::setTextColor(m_timestamp, ViewStyle::secondaryText(this));
    const QString source = entry.source();
    m_source->setObjectName(QStringLiteral("logSource"));
    m_source->setText(QLatin1Char('[') + source + QLatin1Char(']'));
    m_source->setVisible(!source.isEmpty());
    ViewStyle::setTextColor(m_source, ViewStyle::blue());
    m_message->setObjectName(QStringLiteral("logMessage"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ViewStyle::setTextColor(m_message, isFailure(entry.raw) ? ViewStyle::red() : ViewStyle::primaryText(this));

    auto *dotColumn = new QVBoxLayout;
    dotColumn->setContentsMargins(0, 4, 0, 0);
    dotColumn->addWidget(m_dot);
    dotColumn->addStretch(1);
    auto *meta = new QHBoxLayout;
    meta->setSpacing(6);
    meta->addWidget(m_timestamp);
    meta->addWidget(m_source);
    meta->addStretch(1);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addLayout(meta);
    texts->addWidget(m_message);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 4, 10, 4);
    row->setSpacing(8);
    row->addLayout(dotColumn);
    row->addLayout(texts, 1);
    retranslate();
}

void LogRow::retranslate()
{
    m_timestamp->setText(storedTimeText(m_locManager, m_entry.timestamp()));
    m_message->setText(logMessageText(m_locManager, m_entry.message()));
}
