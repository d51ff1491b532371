#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <QTest>
#include <utility>

// Runs the built corvinaport-notify with args while this thread's event loop
// keeps turning, so wizards living on it can answer. Exit code and output.
inline std::pair<int, QString> RunNotify(const QStringList& args) {
    const QString program =
        qEnvironmentVariable("CORVINAPORT_TEST_BINDIR") + "/tools/notify/corvinaport-notify";
    QProcess p;
    p.start(program, args);
    EXPECT_TRUE(p.waitForStarted(5000)) << program.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 10000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput())};
}
