#include "ui/MessageDialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

#include "shell/AboutForm.h"

#include <QLabel>

TEST(MessageDialog, ButtonsAreRelabelledInCreationOrderAndCaptionIsSet) {
    QStringList seen;
    QString caption;
    auto previous = SetMessageDialogHook([&](QMessageBox& dialog) {
        caption = dialog.windowTitle();
        for (QAbstractButton* button : dialog.buttons()) {
            seen << button->text();
        }
        return mrNo;
    });
    // Listed out of order on purpose: creation order is Yes, No, Cancel.
    const int result = ShowMessageDialog("Remove?", TMsgDlgType::mtConfirmation,
                                         {TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo},
                                         "Tandrel", {"Ja", "Nein"});
    SetMessageDialogHook(previous);
    EXPECT_EQ(result, mrNo);
    EXPECT_EQ(caption, "Tandrel");
    seen.sort();
    EXPECT_EQ(seen, (QStringList{"Cancel", "Ja", "Nein"})) << "the third button keeps its own text";
}

TEST(MessageDialog, WithoutADisplayTheDefaultButtonAnswersAtOnce) {
    struct Case {
        std::initializer_list<TMsgDlgBtn> buttons;
        int result;
    };
    const Case cases[] = {
        {{TMsgDlgBtn::mbOK}, mrOk},
        {{TMsgDlgBtn::mbYes, TMsgDlgBtn::mbNo}, mrYes},
        {{TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel}, mrOk},
        {{TMsgDlgBtn::mbClose}, mrNone},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShowMessageDialog("message", TMsgDlgType::mtError, c.buttons, "Error", {}), c.result);
    }
}

TEST(AboutForm, VersionTextLeavesOutAZeroReleaseNumber) {
    EXPECT_EQ(FormatVersionText(1, 2, 3, 45), "1.2.3 (build 45)");
    EXPECT_EQ(FormatVersionText(1, 2, 0, 45), "1.2 (build 45)");
    TTDRAboutForm form(nullptr, "Tandrel", "beta", "2017", BuildVersionText());
    EXPECT_EQ(form.size(), QSize(395, 323));
    EXPECT_EQ(form.windowTitle(), "Tandrel");
    auto* version = form.findChild<QLabel*>("VersionLabel");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Version " + BuildVersionText() + " beta");
}
