#include "notifications/NotificationsSetupForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

#include "localisation/UiText.h"
#include "notifications/CommandText.h"
#include "notifications/MqttUrl.h"
#include "notifications/NotificationEventNames.h"
#include "notifications/NotificationSettingsStore.h"
#include "notifications/WebhookUrl.h"
#include "platform/Diagnostics.h"
#include "ui/DialogLayout.h"
#include "ui/MessageDialog.h"

namespace {

// The columns of the two tables.
enum TWebhookColumn { kWebhookUrl, kWebhookEvents, kWebhookAuthorization, kWebhookSnapshot };
enum TCommandColumn { kCommandEvent, kCommandText };

// The least width of the address and command columns, which take the room the others leave.
constexpr int kWideColumnWidth = 260;
// Rows the tables show without scrolling.
constexpr int kTableRows = 4;
constexpr int kMqttPort = 1883;
constexpr int kMqttsPort = 8883;

TNotificationsSetupFormRunHook gRunHook;
TNotificationsOpenDialogHook gOpenDialogHook;

QString ToQ(const std::string& Text) {
    return QString::fromStdString(Text);
}

QString ToQ(std::string_view Text) {
    return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

QString RunOpenDialog(QWidget* parent, const QString& presetFileName) {
    if (gOpenDialogHook) {
        return gOpenDialogHook(parent, presetFileName);
    }
    return QFileDialog::getOpenFileName(parent, QString(), presetFileName);
}

// The Authorization header is a secret: the table shows that there is one, not what it is, and
// it is typed into a password field.
class TSecretDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant& value, const QLocale&) const override {
        return value.toString().isEmpty() ? QString() : QString(8, QChar(0x2022));
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* editor = new QLineEdit(parent);
        editor->setEchoMode(QLineEdit::Password);
        return editor;
    }
};

// A command's event is chosen from the program's event names.
class TEventNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* editor = new QComboBox(parent);
        for (std::string_view name : NotificationEventNames()) {
            editor->addItem(ToQ(name));
        }
        return editor;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* combo = static_cast<QComboBox*>(editor);
        combo->setCurrentIndex(std::max(0, combo->findText(index.data(Qt::EditRole).toString())));
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText(), Qt::EditRole);
    }
};

QString CellText(const QTableWidget& Table, int Row, int Column) {
    const QTableWidgetItem* item = Table.item(Row, Column);
    return item == nullptr ? QString() : item->text();
}

void SetCell(QTableWidget& Table, int Row, int Column, const QString& Text) {
    Table.setItem(Row, Column, new QTableWidgetItem(Text));
}

// A host as the broker's address takes it: a name or an IPv4 address, or an IPv6 address.
bool IsBrokerHost(const QString& Host) {
    if (Host.isEmpty() || Host.contains('@') || Host.contains('/') || Host.contains('[') ||
        Host.contains(']')) {
        return false;
    }
    const QString address = Host.contains(':') ? "[" + Host + "]" : Host;
    TMqttSettings settings;
    std::string error;
    return ParseMqttUrl("mqtt://" + address.toStdString(), settings, error);
}

// The width the texts of a column's rows need (public in the item view, protected in the table).
int ContentsWidth(const QTableWidget& Table, int Column) {
    return static_cast<const QAbstractItemView&>(Table).sizeHintForColumn(Column);
}

// The width a table needs to show its columns side by side without scrolling across.
int TableWidth(const QTableWidget& Table, int ColumnsWidth) {
    return 2 * Table.frameWidth() + Table.verticalHeader()->sizeHint().width() + ColumnsWidth +
           Table.verticalScrollBar()->sizeHint().width();
}

}  // namespace

TNotificationsSetupForm::TNotificationsSetupForm(QWidget* parent) : QDialog(parent) {
    setObjectName("NotificationsSetupForm");
    setWindowTitle(UiText(txtNotifications));
    setFont(DialogFont());
    CreateComponents();
    SpreadDialogFont(*this);
    SetSettings(TNotificationSettings{});
}

TNotificationsSetupForm::~TNotificationsSetupForm() {
    // A test still being sent is waited for; its answer, queued to this dialog, goes with it.
    FSendThread.Join();
}

void TNotificationsSetupForm::CreateComponents() {
    auto* outer = new QVBoxLayout(this);

    // The MQTT broker: labels on the left, fields on the right, the CA file's "..." beside it.
    gbMqtt = new QGroupBox(UiText(txtMqttBroker), this);
    gbMqtt->setObjectName("gbMqtt");
    auto* mqtt = new QGridLayout(gbMqtt);
    chkMqttEnabled = new QCheckBox(UiText(txtSendEventsToMqttBroker), gbMqtt);
    chkMqttEnabled->setObjectName("chkMqttEnabled");
    mqtt->addWidget(chkMqttEnabled, 0, 0, 1, 3);
    int row = 1;
    auto addRow = [&](QLabel*& label, QLineEdit*& edit, const char* name, TTextIndex text) {
        label = new QLabel(UiText(text), gbMqtt);
        label->setObjectName(QStringLiteral("lb") + name);
        edit = new QLineEdit(gbMqtt);
        edit->setObjectName(QStringLiteral("ed") + name);
        label->setBuddy(edit);
        mqtt->addWidget(label, row, 0);
        mqtt->addWidget(edit, row, 1, 1, 2);
        ++row;
    };
    addRow(lbMqttHost, edMqttHost, "MqttHost", txtHost);
    addRow(lbMqttPort, edMqttPort, "MqttPort", txtPort);
    edMqttPort->setMaxLength(5);
    chkMqttTls = new QCheckBox(UiText(txtEncryptedConnection), gbMqtt);
    chkMqttTls->setObjectName("chkMqttTls");
    mqtt->addWidget(chkMqttTls, row++, 1, 1, 2);
    addRow(lbMqttCaFile, edMqttCaFile, "MqttCaFile", txtCaCertificateFile);
    // The CA file's row: the edit gives the "..." button its column.
    mqtt->removeWidget(edMqttCaFile);
    mqtt->addWidget(edMqttCaFile, row - 1, 1);
    btnMqttCaFile = new QPushButton("...", gbMqtt);
    btnMqttCaFile->setObjectName("btnMqttCaFile");
    mqtt->addWidget(btnMqttCaFile, row - 1, 2);
    addRow(lbMqttUser, edMqttUser, "MqttUser", txtUserName);
    addRow(lbMqttPassword, edMqttPassword, "MqttPassword", txtPassword);
    edMqttPassword->setEchoMode(QLineEdit::Password);
    addRow(lbMqttTopicPrefix, edMqttTopicPrefix, "MqttTopicPrefix", txtTopicPrefix);
    chkMqttDiscovery = new QCheckBox(UiText(txtHomeAssistantDiscovery), gbMqtt);
    chkMqttDiscovery->setObjectName("chkMqttDiscovery");
    mqtt->addWidget(chkMqttDiscovery, row++, 1, 1, 2);
    mqtt->setColumnStretch(1, 1);
    outer->addWidget(gbMqtt);

    // A table with "Add" and "Remove" under it.
    auto addTable = [&](QGroupBox*& box, const char* boxName, TTextIndex title,
                        QTableWidget*& table, const char* tableName,
                        std::initializer_list<TTextIndex> headers, QPushButton*& add,
                        const char* addName, QPushButton*& remove, const char* removeName) {
        box = new QGroupBox(UiText(title), this);
        box->setObjectName(boxName);
        auto* layout = new QVBoxLayout(box);
        table = new QTableWidget(0, static_cast<int>(headers.size()), box);
        table->setObjectName(tableName);
        QStringList labels;
        for (TTextIndex header : headers) {
            labels << UiText(header);
        }
        table->setHorizontalHeaderLabels(labels);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setSelectionMode(QAbstractItemView::SingleSelection);
        table->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        table->setMinimumHeight(table->horizontalHeader()->sizeHint().height() +
                                kTableRows * table->verticalHeader()->defaultSectionSize() +
                                2 * table->frameWidth());
        layout->addWidget(table);
        auto* buttons = new QHBoxLayout();
        add = new QPushButton(UiText(txtAdd), box);
        add->setObjectName(addName);
        remove = new QPushButton(UiText(txtRemove), box);
        remove->setObjectName(removeName);
        buttons->addWidget(add);
        buttons->addWidget(remove);
        buttons->addStretch();
        layout->addLayout(buttons);
        outer->addWidget(box, 1);
        return buttons;
    };
    addTable(gbWebhooks, "gbWebhooks", txtWebhooks, tblWebhooks, "tblWebhooks",
             {txtWebhookAddress, txtWebhookEvents, txtAuthorizationHeader, txtAttachSnapshot},
             btnAddWebhook, "btnAddWebhook", btnRemoveWebhook, "btnRemoveWebhook");
    tblWebhooks->setItemDelegateForColumn(kWebhookAuthorization,
                                          new TSecretDelegate(tblWebhooks));
    // The names the events column takes, for whoever points at its header.
    QStringList names;
    for (std::string_view name : NotificationEventNames()) {
        names << ToQ(name);
    }
    tblWebhooks->horizontalHeaderItem(kWebhookEvents)->setToolTip(names.join(", "));

    QHBoxLayout* commandButtons =
        addTable(gbCommands, "gbCommands", txtCommands, tblCommands, "tblCommands",
                 {txtEvent, txtCommandText}, btnAddCommand, "btnAddCommand", btnRemoveCommand,
                 "btnRemoveCommand");
    tblCommands->setItemDelegateForColumn(kCommandEvent, new TEventNameDelegate(tblCommands));
    lbCommandTimeout = new QLabel(UiText(txtCommandTimeout), gbCommands);
    lbCommandTimeout->setObjectName("lbCommandTimeout");
    seCommandTimeout = new QSpinBox(gbCommands);
    seCommandTimeout->setObjectName("seCommandTimeout");
    seCommandTimeout->setRange(kMinCommandTimeoutSeconds, kMaxCommandTimeoutSeconds);
    lbCommandTimeout->setBuddy(seCommandTimeout);
    commandButtons->addWidget(lbCommandTimeout);
    commandButtons->addWidget(seCommandTimeout);

    chkSnapshots = new QCheckBox(UiText(txtSaveSnapshots), this);
    chkSnapshots->setObjectName("chkSnapshots");
    outer->addWidget(chkSnapshots);

    auto* test = new QHBoxLayout();
    btnSendTestEvent = new QPushButton(UiText(txtSendTestEvent), this);
    btnSendTestEvent->setObjectName("btnSendTestEvent");
    btnSendTestEvent->setAutoDefault(false);
    btnSendTestEvent->setEnabled(false);
    lbTestResult = new QLabel(this);
    lbTestResult->setObjectName("lbTestResult");
    lbTestResult->setWordWrap(true);
    lbTestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    test->addWidget(btnSendTestEvent, 0, Qt::AlignTop);
    test->addWidget(lbTestResult, 1);
    outer->addLayout(test);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch();
    btnOK = new QPushButton(UiText(txtOK), this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    btnCancel = new QPushButton(UiText(txtCancel), this);
    btnCancel->setObjectName("btnCancel");
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    outer->addLayout(buttons);

    // The other buttons take no Enter: it belongs to OK.
    for (QPushButton* button : {btnMqttCaFile, btnAddWebhook, btnRemoveWebhook, btnAddCommand,
                                btnRemoveCommand}) {
        button->setAutoDefault(false);
    }

    connect(chkMqttEnabled, &QCheckBox::toggled, this, &TNotificationsSetupForm::GeneralRefresh);
    connect(chkMqttTls, &QCheckBox::toggled, this, &TNotificationsSetupForm::GeneralRefresh);
    connect(btnMqttCaFile, &QPushButton::clicked, this,
            &TNotificationsSetupForm::btnMqttCaFileClick);
    connect(btnAddWebhook, &QPushButton::clicked, this,
            &TNotificationsSetupForm::btnAddWebhookClick);
    connect(btnRemoveWebhook, &QPushButton::clicked, this,
            &TNotificationsSetupForm::btnRemoveWebhookClick);
    connect(btnAddCommand, &QPushButton::clicked, this,
            &TNotificationsSetupForm::btnAddCommandClick);
    connect(btnRemoveCommand, &QPushButton::clicked, this,
            &TNotificationsSetupForm::btnRemoveCommandClick);
    connect(btnSendTestEvent, &QPushButton::clicked, this,
            &TNotificationsSetupForm::btnSendTestEventClick);
    connect(btnOK, &QPushButton::clicked, this, &TNotificationsSetupForm::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TNotificationsSetupForm::SetSettings(const TNotificationSettings& Settings) {
    FSaved = Settings;
    const TMqttSettings& mqtt = Settings.Mqtt;
    chkMqttEnabled->setChecked(mqtt.Enabled);
    edMqttHost->setText(ToQ(mqtt.Host));
    edMqttPort->setText(QString::number(mqtt.Port));
    chkMqttTls->setChecked(mqtt.Tls);
    edMqttCaFile->setText(ToQ(mqtt.CaFile));
    edMqttUser->setText(ToQ(mqtt.User));
    edMqttPassword->setText(ToQ(mqtt.Password));
    edMqttTopicPrefix->setText(ToQ(mqtt.TopicPrefix));
    chkMqttDiscovery->setChecked(mqtt.Discovery);

    const int webhooks = std::min<int>(kMaxWebhooks, static_cast<int>(Settings.Webhooks.size()));
    tblWebhooks->setRowCount(0);
    for (int i = 0; i < webhooks; ++i) {
        const TWebhookSettings& webhook = Settings.Webhooks[i];
        btnAddWebhookClick();
        SetCell(*tblWebhooks, i, kWebhookUrl, ToQ(webhook.Url));
        SetCell(*tblWebhooks, i, kWebhookEvents, ToQ(JoinEventList(webhook.Events, ", ")));
        SetCell(*tblWebhooks, i, kWebhookAuthorization, ToQ(webhook.Authorization));
        tblWebhooks->item(i, kWebhookSnapshot)
            ->setCheckState(webhook.AttachSnapshot ? Qt::Checked : Qt::Unchecked);
    }
    tblCommands->setRowCount(0);
    for (const TCommandSettings& command : Settings.Commands) {
        const int i = tblCommands->rowCount();
        btnAddCommandClick();
        std::vector<std::string> words{command.Program};
        words.insert(words.end(), command.Arguments.begin(), command.Arguments.end());
        SetCell(*tblCommands, i, kCommandEvent, ToQ(command.Event));
        SetCell(*tblCommands, i, kCommandText, ToQ(JoinCommandText(words)));
    }
    // No row is chosen yet.
    for (QTableWidget* table : {tblWebhooks, tblCommands}) {
        table->setCurrentIndex(QModelIndex());
        table->clearSelection();
    }
    seCommandTimeout->setValue(Settings.CommandTimeoutSeconds);
    chkSnapshots->setChecked(Settings.Snapshots);
    GeneralRefresh();
    FitColumns();
}

void TNotificationsSetupForm::SetTestSender(TNotificationTestSender Sender) {
    FTestSender = std::move(Sender);
    btnSendTestEvent->setEnabled(FTestSender != nullptr && !FSending);
}

void TNotificationsSetupForm::GeneralRefresh() {
    const bool on = chkMqttEnabled->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{
             lbMqttHost, edMqttHost, lbMqttPort, edMqttPort, chkMqttTls, lbMqttUser, edMqttUser,
             lbMqttPassword, edMqttPassword, lbMqttTopicPrefix, edMqttTopicPrefix,
             chkMqttDiscovery}) {
        control->setEnabled(on);
    }
    const bool tls = on && chkMqttTls->isChecked();
    for (QWidget* control : {static_cast<QWidget*>(lbMqttCaFile),
                             static_cast<QWidget*>(edMqttCaFile),
                             static_cast<QWidget*>(btnMqttCaFile)}) {
        control->setEnabled(tls);
    }
    btnAddWebhook->setEnabled(tblWebhooks->rowCount() < kMaxWebhooks);
    btnRemoveWebhook->setEnabled(tblWebhooks->rowCount() > 0);
    btnRemoveCommand->setEnabled(tblCommands->rowCount() > 0);
}

void TNotificationsSetupForm::FitColumns() {
    QHeaderView* webhooks = tblWebhooks->horizontalHeader();
    webhooks->setSectionResizeMode(QHeaderView::ResizeToContents);
    webhooks->setSectionResizeMode(kWebhookUrl, QHeaderView::Stretch);
    int width = std::max(kWideColumnWidth, webhooks->sectionSizeHint(kWebhookUrl));
    for (int column : {kWebhookEvents, kWebhookAuthorization, kWebhookSnapshot}) {
        width += std::max(webhooks->sectionSizeHint(column), ContentsWidth(*tblWebhooks, column));
    }
    tblWebhooks->setMinimumWidth(TableWidth(*tblWebhooks, width));

    // The event column holds the longest event name, as its list shows them.
    QHeaderView* commands = tblCommands->horizontalHeader();
    QComboBox names;
    names.setFont(tblCommands->font());
    for (std::string_view name : NotificationEventNames()) {
        names.addItem(ToQ(name));
    }
    const int eventWidth =
        std::max({commands->sectionSizeHint(kCommandEvent), names.sizeHint().width(),
                  ContentsWidth(*tblCommands, kCommandEvent)});
    commands->setSectionResizeMode(kCommandEvent, QHeaderView::Fixed);
    commands->resizeSection(kCommandEvent, eventWidth);
    commands->setSectionResizeMode(kCommandText, QHeaderView::Stretch);
    tblCommands->setMinimumWidth(TableWidth(
        *tblCommands,
        eventWidth + std::max(kWideColumnWidth, commands->sectionSizeHint(kCommandText))));
}

TNotificationSettings TNotificationsSetupForm::ReadSettings(QString& Problem,
                                                          QWidget*& Field) const {
    Problem.clear();
    Field = nullptr;
    // The first problem is the one told.
    auto fail = [&](const QString& text, QWidget* field) {
        if (Problem.isEmpty()) {
            Problem = text;
            Field = field;
        }
    };
    // Values the dialog does not show stay as they were given.
    TNotificationSettings settings = FSaved;

    TMqttSettings& mqtt = settings.Mqtt;
    mqtt.Enabled = chkMqttEnabled->isChecked();
    const QString host = edMqttHost->text().trimmed();
    if (mqtt.Enabled && !IsBrokerHost(host)) {
        fail(UiText(txtMqttHostMissing), edMqttHost);
    }
    mqtt.Host = host.toStdString();
    mqtt.Tls = chkMqttTls->isChecked();
    // No port: the usual one of the connection.
    const QString port = edMqttPort->text().trimmed();
    bool portRead = true;
    const int portNumber =
        port.isEmpty() ? (mqtt.Tls ? kMqttsPort : kMqttPort) : port.toInt(&portRead);
    if (!portRead || portNumber < 1 || portNumber > 65535) {
        fail(UiText(txtMqttPortInvalid), edMqttPort);
    } else {
        mqtt.Port = portNumber;
    }
    mqtt.CaFile = edMqttCaFile->text().trimmed().toStdString();
    if (mqtt.Enabled && mqtt.Tls && !mqtt.CaFile.empty() &&
        !QFileInfo(ToQ(mqtt.CaFile)).isFile()) {
        fail(UiText(txtCaFileMissing), edMqttCaFile);
    }
    mqtt.User = edMqttUser->text().trimmed().toStdString();
    mqtt.Password = edMqttPassword->text().toStdString();
    QString prefix = edMqttTopicPrefix->text().trimmed();
    while (prefix.startsWith('/')) {
        prefix.remove(0, 1);
    }
    while (prefix.endsWith('/')) {
        prefix.chop(1);
    }
    if (prefix.contains('+') || prefix.contains('#')) {
        fail(UiText(txtMqttTopicPrefixInvalid), edMqttTopicPrefix);
    }
    mqtt.TopicPrefix = prefix.toStdString();
    mqtt.Discovery = chkMqttDiscovery->isChecked();

    settings.Webhooks.clear();
    for (int row = 0; row < tblWebhooks->rowCount(); ++row) {
        TWebhookSettings webhook;
        webhook.Url = CellText(*tblWebhooks, row, kWebhookUrl).trimmed().toStdString();
        const QString events = CellText(*tblWebhooks, row, kWebhookEvents);
        webhook.Authorization = CellText(*tblWebhooks, row, kWebhookAuthorization).toStdString();
        const QTableWidgetItem* snapshot = tblWebhooks->item(row, kWebhookSnapshot);
        webhook.AttachSnapshot = snapshot != nullptr && snapshot->checkState() == Qt::Checked;
        if (webhook.Url.empty() && events.trimmed().isEmpty() && webhook.Authorization.empty()) {
            continue;  // an empty row
        }
        const QString number = QString::number(row + 1);
        std::string error;
        if (!CheckWebhookUrl(webhook.Url, error)) {
            fail(UiText(txtWebhookAddressInvalid).arg(number), tblWebhooks);
        }
        for (const QString& part : events.split(',')) {
            const QString name = part.trimmed();
            if (name.isEmpty()) {
                continue;
            }
            if (!IsNotificationEventName(name.toStdString())) {
                fail(UiText(txtWebhookEventUnknown).arg(number, name), tblWebhooks);
            } else if (std::find(webhook.Events.begin(), webhook.Events.end(),
                                 name.toStdString()) == webhook.Events.end()) {
                webhook.Events.push_back(name.toStdString());
            }
        }
        settings.Webhooks.push_back(std::move(webhook));
    }

    settings.Commands.clear();
    for (int row = 0; row < tblCommands->rowCount(); ++row) {
        const QString event = CellText(*tblCommands, row, kCommandEvent).trimmed();
        const QString text = CellText(*tblCommands, row, kCommandText);
        if (event.isEmpty() && text.trimmed().isEmpty()) {
            continue;  // an empty row
        }
        const QString number = QString::number(row + 1);
        TCommandSettings command;
        command.Event = event.toStdString();
        if (!IsNotificationEventName(command.Event)) {
            fail(UiText(txtCommandEventMissing).arg(number), tblCommands);
        } else if (std::any_of(
                       settings.Commands.begin(), settings.Commands.end(),
                       [&](const TCommandSettings& c) { return c.Event == command.Event; })) {
            fail(UiText(txtCommandEventTwice).arg(number), tblCommands);
        }
        std::vector<std::string> words;
        std::string error;
        if (!SplitCommandText(text.toStdString(), words, error)) {
            fail(UiText(txtCommandTextInvalid).arg(number), tblCommands);
        } else if (words.empty() || words.front().empty()) {
            fail(UiText(txtCommandProgramMissing).arg(number), tblCommands);
        } else {
            command.Program = words.front();
            command.Arguments.assign(words.begin() + 1, words.end());
        }
        settings.Commands.push_back(std::move(command));
    }
    settings.CommandTimeoutSeconds = seCommandTimeout->value();
    settings.Snapshots = chkSnapshots->isChecked();
    return settings;
}

bool TNotificationsSetupForm::CheckedSettings(TNotificationSettings& Settings) {
    QString problem;
    QWidget* field = nullptr;
    Settings = ReadSettings(problem, field);
    if (problem.isEmpty()) {
        return true;
    }
    ShowMessageDialog(problem, TMsgDlgType::mtWarning, {TMsgDlgBtn::mbOK},
                      UiText(txtNotifications), {UiText(txtOK)});
    if (field != nullptr) {
        field->setFocus();
    }
    return false;
}

void TNotificationsSetupForm::btnOKClick() {
    try {
        TNotificationSettings settings;
        if (!CheckedSettings(settings)) {
            return;
        }
        if (!SaveNotificationSettings(settings)) {
            ShowMessageDialog(UiText(txtNotificationsNotSaved), TMsgDlgType::mtError,
                              {TMsgDlgBtn::mbOK}, UiText(txtNotifications), {UiText(txtOK)});
            return;
        }
        FSaved = std::move(settings);
        accept();
    } catch (...) {
        LogMessage("Error in TNotificationsSetupForm.btnOKClick call...");
    }
}

void TNotificationsSetupForm::btnSendTestEventClick() {
    try {
        TNotificationSettings settings;
        if (!FTestSender || FSending || !CheckedSettings(settings)) {
            return;
        }
        FSending = true;
        btnSendTestEvent->setEnabled(false);
        lbTestResult->setText(UiText(txtSending));
        // The previous test's thread has already handed back its answer.
        FSendThread.Join();
        FSendThread.Start("NotifyTest", [this, sender = FTestSender,
                                         settings = std::move(settings)] {
            std::string result;
            try {
                result = sender(settings);
            } catch (const std::exception& error) {
                result = error.what();
            } catch (...) {
                result = "The test event could not be sent.";
            }
            // The dialog outlives this thread (its destructor joins it).
            QMetaObject::invokeMethod(
                this, [this, result] { TestSent(result); }, Qt::QueuedConnection);
        });
    } catch (...) {
        LogMessage("Error in TNotificationsSetupForm.btnSendTestEventClick call...");
    }
}

void TNotificationsSetupForm::TestSent(const std::string& Result) {
    FSending = false;
    btnSendTestEvent->setEnabled(FTestSender != nullptr);
    lbTestResult->setText(Result.empty() ? UiText(txtTestEventTaken) : ToQ(Result));
}

void TNotificationsSetupForm::btnMqttCaFileClick() {
    try {
        const QString fileName = RunOpenDialog(this, edMqttCaFile->text());
        if (!fileName.isEmpty()) {
            edMqttCaFile->setText(fileName);
        }
    } catch (...) {
        LogMessage("Error in TNotificationsSetupForm.btnMqttCaFileClick call...");
    }
}

void TNotificationsSetupForm::btnAddWebhookClick() {
    const int row = tblWebhooks->rowCount();
    if (row >= kMaxWebhooks) {
        return;
    }
    tblWebhooks->insertRow(row);
    for (int column : {kWebhookUrl, kWebhookEvents, kWebhookAuthorization}) {
        SetCell(*tblWebhooks, row, column, QString());
    }
    auto* snapshot = new QTableWidgetItem();
    snapshot->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    snapshot->setCheckState(Qt::Unchecked);
    tblWebhooks->setItem(row, kWebhookSnapshot, snapshot);
    tblWebhooks->setCurrentCell(row, kWebhookUrl);
    GeneralRefresh();
    FitColumns();
}

void TNotificationsSetupForm::btnRemoveWebhookClick() {
    const int row = tblWebhooks->currentRow();
    if (row >= 0) {
        tblWebhooks->removeRow(row);
    }
    GeneralRefresh();
    FitColumns();
}

void TNotificationsSetupForm::btnAddCommandClick() {
    const int row = tblCommands->rowCount();
    tblCommands->insertRow(row);
    SetCell(*tblCommands, row, kCommandEvent, QString());
    SetCell(*tblCommands, row, kCommandText, QString());
    tblCommands->setCurrentCell(row, kCommandEvent);
    GeneralRefresh();
    FitColumns();
}

void TNotificationsSetupForm::btnRemoveCommandClick() {
    const int row = tblCommands->currentRow();
    if (row >= 0) {
        tblCommands->removeRow(row);
    }
    GeneralRefresh();
    FitColumns();
}

bool ShowNotificationsSetupForm(const TNotificationTestSender& TestSender, QWidget* parent) {
    try {
        QPointer<TNotificationsSetupForm> form = new TNotificationsSetupForm(parent);
        const auto destroyForm = qScopeGuard([&form] { delete form.data(); });
        form->SetSettings(LoadNotificationSettings());
        form->SetTestSender(TestSender);
        const int result = gRunHook ? gRunHook(*form) : form->exec();
        return !form.isNull() && result == QDialog::Accepted;
    } catch (...) {
        LogMessage("Error in ShowNotificationsSetupForm call...");
        return false;
    }
}

TNotificationsSetupFormRunHook SetNotificationsSetupFormRunHook(
    TNotificationsSetupFormRunHook hook) {
    return std::exchange(gRunHook, std::move(hook));
}

TNotificationsOpenDialogHook SetNotificationsOpenDialogHook(TNotificationsOpenDialogHook hook) {
    return std::exchange(gOpenDialogHook, std::move(hook));
}
