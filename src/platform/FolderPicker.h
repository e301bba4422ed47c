#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Lets the user choose the sync folder without blocking; completion gets the folder or none.
class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    virtual void pickFolder(std::function<void(std::optional<QString>)> completion) = 0;
};
