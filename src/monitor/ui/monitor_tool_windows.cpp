#include "monitor/ui/monitor_tool_windows.h"

#include "host/tool_services.h"
#include "monitor/ui/info_sheet_dialog.h"
#include "monitor/ui/keypad_window.h"

namespace korvane {

ToolFrame* MakeInformationSheet(ToolServices& services, int station) {
    auto* sheet = new InfoSheetDialog(services, station);
    ToolHost* host = &services.host;
    QObject::connect(sheet, &QDialog::finished, sheet, [sheet, host] {
        sheet->sheet().close();
        host->toolFrameClosing(sheet);
        sheet->deleteLater();
    });
    sheet->show();
    return sheet;
}

ToolFrame* MakeKeypad(ToolServices& services, int station) {
    auto* keypad = new KeypadWindow(services, station);
    ToolHost* host = &services.host;
    QObject::connect(keypad, &KeypadWindow::closed, keypad, [keypad, host] {
        host->toolFrameClosing(keypad);
        keypad->deleteLater();
    });
    keypad->show();
    return keypad;
}

}  // namespace korvane
