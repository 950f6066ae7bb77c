#include <QApplication>

#include "localisation/TandrelTexts.h"
#include "shell/Form1.h"
#include "shell/VisualStyle.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setOrganizationName("Vantrelle Media Solutions");
    application.setApplicationName("Tandrel");
    ApplyWindows10BlueStyle(application);
    int result = 0;
    {
        TForm1 form;
        form.show();
        result = application.exec();
    }
    ClearCurrentTexts();
    return result;
}
