#pragma once

#include "RoundedPanel.h"

class ElidedLabel;

// A small card of a symbol, a title, a caption and one value; the dashboard shows two of them
// while no Mac has registered in the sync folder.
class StatusCard : public RoundedPanel {
    Q_OBJECT

public:
    StatusCard(const QString &icon, const QColor &color, QWidget *parent = nullptr);

    void setTitle(const QString &title);
    void setSubtitle(const QString &subtitle);
    void setValue(const QString &value);

    QString title() const;
    QString subtitle() const;
    QString value() const;

private:
    ElidedLabel *m_title;
    ElidedLabel *m_subtitle;
    ElidedLabel *m_value;
};
