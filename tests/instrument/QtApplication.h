#pragma once
// The Qt application object the serial and Bluetooth classes expect, made once per test process.

#include <QCoreApplication>

namespace orv::test {

inline void EnsureQtApplication()
{
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "test_instrument";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
}

}  // namespace orv::test
