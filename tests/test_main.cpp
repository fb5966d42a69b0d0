// Test entry: headless Qt and a private settings folder, set before the
// application object exists (gtest_discover_tests runs this binary at build
// time too).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string config = QDir::tempPath().toStdString() + "/tenmari-test-config-" +
                               std::to_string(static_cast<long long>(QCoreApplication::applicationPid()));
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    QStandardPaths::setTestModeEnabled(true);
    // Settings go to the private folder whatever Qt's test mode would pick.
    const QString configDir = QString::fromStdString(config);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, configDir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, configDir);
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Tenmariソフト"));
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    QDir(QString::fromStdString(config)).removeRecursively();
    return rc;
}
