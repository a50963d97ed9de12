#pragma once
// The makers the main window's factory uses for the information sheet and the keypad. Each
// window tells the main window when it closes and then deletes itself.
namespace korvane {

class ToolFrame;
struct ToolServices;

ToolFrame* MakeInformationSheet(ToolServices& services, int station);
ToolFrame* MakeKeypad(ToolServices& services, int station);

}  // namespace korvane
