#pragma once

#include <QCoreApplication>

// The translation context of the command line's own messages ("rpsetup").
struct Rpsetup
{
    Q_DECLARE_TR_FUNCTIONS(rpsetup)
};
