#pragma once

#include "LocalizationManager.h"

// A German/English pair written as UTF-8 literals, chosen by the current language.
inline QString localized(const LocalizationManager *locManager, const char *german, const char *english)
{
    return locManager->pick(QString::fromUtf8(german), QString::fromUtf8(english));
}
