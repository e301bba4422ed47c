#pragma once

#include <QWidget>

class QLabel;
class QStackedWidget;
class RoundedPanel;
class SymbolView;

// A numbered step of the first-run wizard: a round badge (the number, or a tick once done), the
// step's title and the content the wizard gives it.
class StepRow : public QWidget {
    Q_OBJECT

public:
    StepRow(int number, QWidget *content, QWidget *parent = nullptr);

    void setTitle(const QString &title);
    void setDone(bool done);

    QString title() const;
    bool isDone() const { return m_done; }
    QWidget *content() const { return m_content; }

private:
    bool m_done = false;
    RoundedPanel *m_badge;
    QStackedWidget *m_badgeFace;
    QLabel *m_number;
    SymbolView *m_tick;
    QLabel *m_title;
    QWidget *m_content;
};
