// One QApplication for the whole test program, made on first use (the
// shared test main knows nothing of Qt). Tests run under the offscreen
// platform unless the environment chooses another.
#pragma once

#include <QApplication>
#include <QtTest/QTest>
#include <functional>

QApplication& TestApp();

// Processes events until `done` answers true or about ten seconds pass.
bool WaitFor(const std::function<bool()>& done);
