#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class BulletRow;
class JoinChoice;
class LanguageButton;
class LocalizationManager;
class PathDisplay;
class QGraphicsOpacityEffect;
class QLabel;
class QPushButton;
class StepRow;
class SyncManager;

// The first-run wizard: what Tandrill does, then the choice of the shared sync folder. Nothing is
// stored until "Get started →" hands the folder to the coordinator.
class OnboardingView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 520;
    static constexpr int kHeight = 600;
    static constexpr int kStepAnimationMs = 250;

    OnboardingView(SyncManager *syncManager, LocalizationManager *locManager, QWidget *parent = nullptr);

    int step() const { return m_step; }
    std::optional<QString> selectedURL() const { return m_selectedURL; }

private:
    QWidget *buildHeader(QWidget *frame);
    QWidget *buildSteps(QWidget *frame);
    QWidget *buildFooter(QWidget *frame);
    QWidget *buildExplanation();
    QWidget *buildFolderChoice();
    void retranslate();
    void render();
    void goToFolderStep();
    void chooseFolder();
    void getStarted();
    bool hasFolder() const;

    SyncManager *m_syncManager;
    LocalizationManager *m_locManager;
    int m_step = 1;
    std::optional<QString> m_selectedURL;

    QLabel *m_icon = nullptr;
    QLabel *m_welcome = nullptr;
    QLabel *m_tagline = nullptr;
    StepRow *m_explainStep = nullptr;
    QWidget *m_explanation = nullptr;
    QList<BulletRow *> m_bullets;
    QPushButton *m_gotIt = nullptr;
    StepRow *m_folderStep = nullptr;
    QGraphicsOpacityEffect *m_folderStepOpacity = nullptr;
    QLabel *m_folderInstruction = nullptr;
    PathDisplay *m_path = nullptr;
    QPushButton *m_choose = nullptr;
    QWidget *m_folderHint = nullptr;
    QLabel *m_folderHintText = nullptr;
    LanguageButton *m_language = nullptr;
    QPushButton *m_getStarted = nullptr;
    JoinChoice *m_join = nullptr;
    bool m_startWhenInspected = false;
};
