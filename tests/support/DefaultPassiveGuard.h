#pragma once

#include "engine/FTPComp.h"

// Makes new engines start passive while it lives; later tests get the old default back.
class TDefaultPassiveGuard
{
public:
    TDefaultPassiveGuard() : FOld(TFTPComponent::DefaultPassive.load()) { TFTPComponent::DefaultPassive = true; }
    ~TDefaultPassiveGuard() { TFTPComponent::DefaultPassive = FOld; }

    TDefaultPassiveGuard(const TDefaultPassiveGuard &) = delete;
    TDefaultPassiveGuard &operator=(const TDefaultPassiveGuard &) = delete;

private:
    const bool FOld;
};
