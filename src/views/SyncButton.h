#pragma once

#include <QAbstractButton>
#include <QColor>

class ActivitySpinner;
class QLabel;
class SymbolView;

// One of the large manual-sync buttons: a symbol (or a spinner while a sync runs), a label and a
// caption on a lightly tinted rounded face. Disabled while loading.
class SyncButton : public QAbstractButton {
    Q_OBJECT

public:
    SyncButton(const QString &label, const QString &icon, const QColor &color, QWidget *parent = nullptr);

    void setSubtitle(const QString &subtitle);
    void setLoading(bool loading);

    QString label() const;
    QString subtitle() const;
    bool isLoading() const { return m_loading; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateColors();

    QColor m_color;
    bool m_loading = false;
    SymbolView *m_icon;
    ActivitySpinner *m_spinner;
    QLabel *m_label;
    QLabel *m_subtitle;
};
