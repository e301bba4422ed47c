#pragma once

#include <QString>

class LocalizationManager;

// The shared log is stored in German, so that every Mac reads every other Mac's lines. Shown, a
// known line speaks the interface language, and the file times it carries as seconds since 1970
// read as dates in the language's style; a line that is not known is shown as it is.
QString logMessageText(const LocalizationManager *locManager, const QString &storedMessage);
