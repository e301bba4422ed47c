#pragma once

#include <memory>

// Ends the running Dock so that the system starts it again and it reads the replaced file.
class DockRestarter {
public:
    virtual ~DockRestarter() = default;
    virtual void restartDock() = 0;
};

std::unique_ptr<DockRestarter> createSystemDockRestarter();
