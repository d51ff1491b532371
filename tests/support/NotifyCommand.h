#pragma once

#include <gtest/gtest.h>

#include <QLocalSocket>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <string>
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

// Writes raw bytes to a wizard's message socket and hangs up once they are out.
inline void SendRaw(const std::string& socketPath, const QByteArray& bytes) {
    QLocalSocket s;
    s.connectToServer(QString::fromStdString(socketPath));
    ASSERT_TRUE(s.waitForConnected(2000));
    s.write(bytes);
    s.disconnectFromServer();  // after writing what is pending
    if (s.state() != QLocalSocket::UnconnectedState) s.waitForDisconnected(5000);
}
