#include "localisation/TandrelTexts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "localisation/LanguageList.h"
#include "localisation/LanguageTestSupport.h"

namespace {

// Each named index with the English text it must reach; a shifted or mistyped entry shows here.
TEST(TandrelTexts, NamedIndexesReachTheirEnglishTexts) {
    const std::pair<TTextIndex, const char*> entries[] = {
        {txtLanguageName, "English"},
        {txtFile, "File"},
        {txtAddCamera, "Add Camera"},
        {txtExit, "Exit"},
        {txtSettings, "Settings"},
        {txtLanguage, "Language"},
        {txtHelp, "Help"},
        {txtAbout, "About"},
        {txtAddZone, "Add Zone"},
        {txtRemoveZone, "Remove Zone"},
        {txtActivate, "Activate"},
        {txtDeactivate, "Deactivate"},
        {txtReset, "Reset"},
        {txtCameraSetup, "Camera Setup"},
        {txtAlarms, "Alarms"},
        {txtResetAlarms, "Reset Alarms"},
        {txtShowVideosList, "Show Videos List"},
        {txtSetup, "Setup"},
        {txtCamera, "Camera"},
        {txtFormat, "Format"},
        {txtResolution, "Resolution"},
        {txtFramesPerSecond, "Frames per second"},
        {txtCameraSettings, "Camera Settings"},
        {txtMotionDetectionSensitivity, "Motion Detection Sensitivity"},
        {txtMotionDetectionMode, "Motion Detection Mode"},
        {txtSimpleMode, "Simple Mode"},
        {txtSelfLearningMode, "Self-Learning Mode"},
        {txtSelfLearningAdvancedMode, "Self-Learning Advanced Mode"},
        {txtZones, "Zones"},
        {txtZone, "Zone"},
        {txtVideoLoggerSettings, "Video Logger Settings"},
        {txtUseMotionDetectionVideoLogger, "Use Motion Detection Video Logger"},
        {txtUseContinuallyRunningVideoLogger, "Use Continually Running Video Logger"},
        {txtOpenFolder, "Open Folder"},
        {txtAlarmProperties, "Alarm Properties"},
        {txtEnableSoundVideoAlarm, "Enable Sound/Video Alarm"},
        {txtSoundVideoAlarmFile, "Sound/Video Alarm File"},
        {txtVideoLog, "Video Log"},
        {txtCreationDateAndTime, "Creation Date and Time"},
        {txtDurationSeconds, "Duration(seconds)"},
        {txtPlayVideo, "Play Video"},
        {txtVersion, "Version"},
        {txtCopyright, "Copyright"},
        {txtATradeMarkOf, "a trade mark of"},
        {txtAllRightsReserved, "All Rights Reserved"},
        {txtEmail, "Email"},
        {txtPhone, "Phone"},
        {txtError, "Error"},
        {txtWarning, "Warning"},
        {txtClose, "Close"},
        {txtOK, "OK"},
        {txtCancel, "Cancel"},
        {txtProductName, "Tandrel"},
        {txtLearning, "Learning"},
        {txtOnlyOneInstance, "You can start only one instance of the product."},
        {txtNoInternet,
         "No internet! Please check your internet connection and restart the application."},
        {txtCannotRetrieveVersion,
         "Could not retrieve the product version! Please reinstall the product."},
        {txtCannotRetrieveUpdater,
         "Could not retrieve the updater! Please check your internet connection and restart the "
         "application."},
        {txtCannotUnpackUpdater, "Could not unpack updater! Please reinstall the product."},
        {txtRestartForChanges, "Please restart the application for the changes to take place!"},
        {txtMaximumZones, "Maximum 10 zones can be added!"},
        {txtFormatCannotBeUsed, "The selected format cannot be used."},
        {txtAddAtLeastOneZone, "You need to add at least one zone!"},
        {txtFileCannotBePlayed, "File cannot be played!"},
        {txtAdaptive, "Adaptive"},
        {txtMotionRecordings, "Motion Recordings"},
        {txtContinuousRecordings, "Continuous Recordings"},
        {txtDiskSpace, "Disk Space"},
        {txtFreeSpacePercent, "Free space to keep (% of the disk)"},
        {txtFreeSpaceMegabytes, "Free space to keep, at most (MB)"},
        {txtFolderSizeMegabytes, "Largest size of each recordings folder (MB, 0 = no limit)"},
        {txtRecordingAgeDays, "Delete recordings older than (days, 0 = never)"},
        {txtCameraLost, "Camera lost — reconnecting…"},
        {txtPreEventSeconds, "Pre-event recording (seconds before the motion, 0 = off)"},
        {txtUpdaterNotStarted,
         "The updater could not be started. Please restart the application to try again."},
        {txtMotionRecordingMark, "REC"},
        {txtConstantRecordingMark, "CONT"},
        {txtPostEventSeconds, "Recording goes on after the motion (seconds, 0 = stop at once)"},
        {txtNotifications, "Notifications"},
        {txtMqttBroker, "MQTT Broker"},
        {txtSendEventsToMqttBroker, "Send events to an MQTT broker"},
        {txtHost, "Host"},
        {txtPort, "Port"},
        {txtEncryptedConnection, "Encrypted connection (TLS)"},
        {txtCaCertificateFile, "CA certificate file (empty = the system's)"},
        {txtUserName, "User name"},
        {txtPassword, "Password"},
        {txtTopicPrefix, "Topic prefix (empty = tandrel/<instance>)"},
        {txtHomeAssistantDiscovery, "Home Assistant discovery"},
        {txtWebhooks, "Webhooks"},
        {txtWebhookAddress, "Address (http:// or https://)"},
        {txtWebhookEvents, "Events (empty = all)"},
        {txtAuthorizationHeader, "Authorization header"},
        {txtAttachSnapshot, "Attach snapshot"},
        {txtAdd, "Add"},
        {txtRemove, "Remove"},
        {txtCommands, "Commands"},
        {txtEvent, "Event"},
        {txtCommandText, "Command (program and arguments)"},
        {txtCommandTimeout, "End a command after (seconds)"},
        {txtSaveSnapshots, "Save a picture at each motion start"},
        {txtSendTestEvent, "Send Test Event"},
        {txtSending, "Sending..."},
        {txtTestEventTaken, "Every receiver took the test event."},
        {txtMqttHostMissing,
         "Please enter the host of the MQTT broker (a name or an address, without mqtt://)."},
        {txtMqttPortInvalid, "The MQTT port must be a whole number from 1 to 65535."},
        {txtMqttTopicPrefixInvalid, "The MQTT topic prefix may not hold \"+\" or \"#\"."},
        {txtCaFileMissing, "The CA certificate file does not exist."},
        {txtWebhookAddressInvalid, "Webhook %1: this is no valid http:// or https:// address."},
        {txtWebhookEventUnknown, "Webhook %1: \"%2\" is no event name."},
        {txtCommandEventMissing, "Command %1: choose the event it runs for."},
        {txtCommandEventTwice, "Command %1: this event already has a command."},
        {txtCommandTextInvalid,
         "Command %1: a quote is not closed, or the text ends with a backslash."},
        {txtCommandProgramMissing, "Command %1: enter the program to run."},
        {txtNotificationsNotSaved, "The notification settings could not be saved."},
        {txtRecordingFormat, "Recording format:"},
    };
    ASSERT_EQ(std::size(entries), static_cast<size_t>(TandrelTextCount));
    std::set<std::string> distinct;
    for (const auto& [index, text] : entries) {
        EXPECT_EQ(DefaultTexts.Texts[index], text) << index;
        distinct.insert(DefaultTexts.Texts[index]);
    }
    // Every entry is a distinct key of the language files.
    EXPECT_EQ(distinct.size(), static_cast<size_t>(TandrelTextCount));
}

TEST(TandrelTexts, CurrentTextsStartEnglishAndClearEmptiesThem) {
    CurrentTextsRestorer restorer;
    EXPECT_EQ(CurrentTexts.Texts, DefaultTexts.Texts);
    EXPECT_EQ(CurrentText(txtActivate), "Activate");

    ClearCurrentTexts();
    for (const std::string& text : CurrentTexts.Texts) {
        EXPECT_EQ(text, "");
    }
    EXPECT_EQ(DefaultTexts.Texts[txtActivate], "Activate");
}

TEST(LanguageList, AddGetAndClear) {
    TLanguageList list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Get(0), nullptr);

    EXPECT_EQ(list.Add("Deutsch", "/l/German.lng"), 0);
    EXPECT_EQ(list.Add("Français", "/l/French.lng"), 1);
    ASSERT_EQ(list.Count(), 2);
    ASSERT_NE(list.Get(1), nullptr);
    EXPECT_EQ(list.Get(1)->LanguageName, "Français");
    EXPECT_EQ(list.Items(0)->LanguageFileName, "/l/German.lng");
    EXPECT_EQ(list.Get(-1), nullptr);
    EXPECT_EQ(list.Get(2), nullptr);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Get(0), nullptr);
    EXPECT_EQ(list.Add("Deutsch", "/l/German.lng"), 0);
}

}  // namespace
