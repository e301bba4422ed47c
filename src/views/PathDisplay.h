#pragma once

#include "RoundedPanel.h"

class ElidedLabel;
class SymbolView;

// A folder path in a field-like box: a symbol and the path on one line, shortened in the middle
// when too long; a placeholder shows in the secondary colour.
class PathDisplay : public RoundedPanel {
    Q_OBJECT

public:
    explicit PathDisplay(QWidget *parent = nullptr);

    void display(const QString &icon, const QColor &iconColor, const QString &text, bool isPlaceholder);

    QString text() const;
    QString displayedText() const;
    bool isPlaceholder() const { return m_isPlaceholder; }
    QString icon() const;

private:
    SymbolView *m_icon;
    ElidedLabel *m_text;
    bool m_isPlaceholder = true;
};
