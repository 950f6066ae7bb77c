#pragma once

#include <array>
#include <string>

// The UI string table: every user-visible text that follows the chosen language. Entry 0 is the
// name of the language in use; the English text of an entry is also its key in language files.

constexpr int TandrelTextCount = 116;

struct TTandrelTexts {
    std::array<std::string, TandrelTextCount> Texts;

    // Sets all entries to empty.
    void Clear() noexcept;
};

// Fixed indexes of the entries, named after their English texts.
enum TTextIndex : int {
    txtLanguageName = 0,  // "English"
    txtFile = 1,
    txtAddCamera = 2,
    txtExit = 3,
    txtSettings = 4,
    txtLanguage = 5,
    txtHelp = 6,
    txtAbout = 7,
    txtAddZone = 8,
    txtRemoveZone = 9,
    txtActivate = 10,
    txtDeactivate = 11,
    txtReset = 12,
    txtCameraSetup = 13,
    txtAlarms = 14,
    txtResetAlarms = 15,
    txtShowVideosList = 16,
    txtSetup = 17,
    txtCamera = 18,
    txtFormat = 19,
    txtResolution = 20,
    txtFramesPerSecond = 21,
    txtCameraSettings = 22,
    txtMotionDetectionSensitivity = 23,
    txtMotionDetectionMode = 24,
    txtSimpleMode = 25,
    txtSelfLearningMode = 26,
    txtSelfLearningAdvancedMode = 27,
    txtZones = 28,
    txtZone = 29,
    txtVideoLoggerSettings = 30,
    txtUseMotionDetectionVideoLogger = 31,
    txtUseContinuallyRunningVideoLogger = 32,
    txtOpenFolder = 33,
    txtAlarmProperties = 34,
    txtEnableSoundVideoAlarm = 35,
    txtSoundVideoAlarmFile = 36,
    txtVideoLog = 37,
    txtCreationDateAndTime = 38,
    txtDurationSeconds = 39,
    txtPlayVideo = 40,
    txtVersion = 41,
    txtCopyright = 42,
    txtATradeMarkOf = 43,
    txtAllRightsReserved = 44,
    txtEmail = 45,
    txtPhone = 46,
    txtError = 47,
    txtWarning = 48,
    txtClose = 49,
    txtOK = 50,
    txtCancel = 51,
    txtProductName = 52,  // "Tandrel"
    txtLearning = 53,
    txtOnlyOneInstance = 54,
    txtNoInternet = 55,
    txtCannotRetrieveVersion = 56,
    txtCannotRetrieveUpdater = 57,
    txtCannotUnpackUpdater = 58,
    txtRestartForChanges = 59,
    txtMaximumZones = 60,
    txtFormatCannotBeUsed = 61,
    txtAddAtLeastOneZone = 62,
    txtFileCannotBePlayed = 63,
    txtAdaptive = 64,  // detection mode 4
    txtMotionRecordings = 65,      // video log: the motion folder
    txtContinuousRecordings = 66,  // video log: the continually running folder
    txtDiskSpace = 67,             // how long recordings are kept, and the disk space kept free
    txtFreeSpacePercent = 68,
    txtFreeSpaceMegabytes = 69,
    txtFolderSizeMegabytes = 70,
    txtRecordingAgeDays = 71,
    txtCameraLost = 72,  // over the picture while the camera is being reconnected
    txtPreEventSeconds = 73,
    txtUpdaterNotStarted = 74,  // the update gate: pkexec refused, was dismissed or failed
    // The marks over the picture while a motion recording or the continuous recording runs.
    txtMotionRecordingMark = 75,
    txtConstantRecordingMark = 76,
    txtPostEventSeconds = 77,
    // The "Notifications" dialog and its messages ("%1" stands for a row number, "%2" for a name).
    txtNotifications = 78,
    txtMqttBroker = 79,
    txtSendEventsToMqttBroker = 80,
    txtHost = 81,
    txtPort = 82,
    txtEncryptedConnection = 83,
    txtCaCertificateFile = 84,
    txtUserName = 85,
    txtPassword = 86,
    txtTopicPrefix = 87,
    txtHomeAssistantDiscovery = 88,
    txtWebhooks = 89,
    txtWebhookAddress = 90,
    txtWebhookEvents = 91,
    txtAuthorizationHeader = 92,
    txtAttachSnapshot = 93,
    txtAdd = 94,
    txtRemove = 95,
    txtCommands = 96,
    txtEvent = 97,
    txtCommandText = 98,
    txtCommandTimeout = 99,
    txtSaveSnapshots = 100,
    txtSendTestEvent = 101,
    txtSending = 102,
    txtTestEventTaken = 103,
    txtMqttHostMissing = 104,
    txtMqttPortInvalid = 105,
    txtMqttTopicPrefixInvalid = 106,
    txtCaFileMissing = 107,
    txtWebhookAddressInvalid = 108,
    txtWebhookEventUnknown = 109,
    txtCommandEventMissing = 110,
    txtCommandEventTwice = 111,
    txtCommandTextInvalid = 112,
    txtCommandProgramMissing = 113,
    txtNotificationsNotSaved = 114,
    txtRecordingFormat = 115,
};
static_assert(txtRecordingFormat + 1 == TandrelTextCount);

// The built-in English texts (UTF-8).
extern const TTandrelTexts DefaultTexts;

// The table every window reads (GUI thread only). A copy of DefaultTexts from process start;
// LoadLanguageFile replaces it.
extern TTandrelTexts CurrentTexts;

// The current text of one entry.
inline const std::string& CurrentText(TTextIndex Index) {
    return CurrentTexts.Texts[Index];
}

// Empties CurrentTexts; the main program calls it at process end.
void ClearCurrentTexts() noexcept;
