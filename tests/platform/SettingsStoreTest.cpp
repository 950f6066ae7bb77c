#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FHome.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FHome.path());
        FFile = FHome.path() + "/Vantrelle Media Solutions/Tandrel.conf";
        QDir().mkpath(FHome.path() + "/Vantrelle Media Solutions");
    }
    void WriteFile(const QByteArray& bytes) {
        QFile file(FFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QTemporaryDir FHome;
    QString FFile;
};

}  // namespace

TEST_F(SettingsStoreTest, IntegersReadOnlyWhenStoredAsWholeNumbers) {
    WriteFile("[General]\nFormWidth=800\nFormHeight=tall\nFormTop= 12 \nFormLeft=1.5\n"
              "LanguageIndex=-1\n\n[CameraManager]\nCameraIndex=2\n");
    TSettingsStore store;
    ASSERT_TRUE(store.OpenKey("", false));
    struct Case {
        const char* name;
        bool ok;
        int value;
    };
    for (const Case& c : {Case{"FormWidth", true, 800}, Case{"FormHeight", false, 7},
                          Case{"FormTop", true, 12}, Case{"FormLeft", false, 7},
                          Case{"LanguageIndex", true, -1}, Case{"Missing", false, 7}}) {
        int value = 7;
        EXPECT_EQ(store.ReadInteger(c.name, value), c.ok) << c.name;
        EXPECT_EQ(value, c.value) << c.name;
    }
    ASSERT_TRUE(store.OpenKey("CameraManager", false));
    int camera = 0;
    EXPECT_TRUE(store.ReadInteger("CameraIndex", camera));
    EXPECT_EQ(camera, 2);
    EXPECT_FALSE(store.OpenKey("NoSuchKey", false));
    store.CloseKey();
    EXPECT_TRUE(store.DeleteKey("CameraManager"));
    EXPECT_FALSE(store.KeyExists("CameraManager"));
}

TEST_F(SettingsStoreTest, DamagedFilesReadAsMissingAndAreRewrittenWhole) {
    const QByteArray damaged[] = {
        QByteArray("[General]\nFormWidth=8"),  // truncated mid-value
        QByteArray("\x00\x01\xff\xfe[Gen\x00eral]\n=\n==\n", 18),
        QByteArray("[General\nFormWidth=800\n"),
    };
    for (const QByteArray& bytes : damaged) {
        WriteFile(bytes);
        {
            TSettingsStore store;
            int value = -5;
            if (store.OpenKey("", false)) {
                store.ReadInteger("LanguageIndex", value);
            }
            EXPECT_EQ(value, -5);
        }
        {
            TSettingsStore store;
            ASSERT_TRUE(store.OpenKey("", true));
            EXPECT_TRUE(store.WriteInteger("LanguageIndex", 3));
            store.CloseKey();
            EXPECT_TRUE(store.Flush());
        }
        TSettingsStore store;
        ASSERT_TRUE(store.OpenKey("", false));
        int value = 0;
        EXPECT_TRUE(store.ReadInteger("LanguageIndex", value));
        EXPECT_EQ(value, 3);
    }
}

// Values typed by hand without quotes keep their ";" and "," (the settings reader alone would
// end the value at ";" and split it at ","), also after the store has written the file again.
TEST_F(SettingsStoreTest, ValuesTypedWithSeparatorsAreKeptWhole) {
    WriteFile("[General]\nNetworkCameras=A=rtsp://h/a;B=http://h/b ; C=rtsp://h/c\n"
              "FileCameras=/v/door, front.avi:/v/yard.avi\nQuoted=\"x;y\"\n; a comment, here\n"
              "Plain=abc\n\n[CameraManager]\nNote=one, two;three\n");
    struct Case {
        const char* key;
        const char* group;
        const char* value;
    };
    const Case cases[] = {
        {"NetworkCameras", "", "A=rtsp://h/a;B=http://h/b ; C=rtsp://h/c"},
        {"FileCameras", "", "/v/door, front.avi:/v/yard.avi"},
        {"Quoted", "", "x;y"},
        {"Plain", "", "abc"},
        {"Note", "CameraManager", "one, two;three"},
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (const Case& c : cases) {
            TSettingsStore store;
            ASSERT_TRUE(store.OpenKey(c.group, false)) << c.key;
            QString value;
            EXPECT_TRUE(store.ReadString(c.key, value)) << c.key;
            EXPECT_EQ(value.toStdString(), c.value) << c.key << " pass " << pass;
        }
        TSettingsStore store;
        ASSERT_TRUE(store.OpenKey("", true));
        EXPECT_TRUE(store.WriteInteger("FormWidth", 800));
        store.CloseKey();
        EXPECT_TRUE(store.Flush());
    }
}
