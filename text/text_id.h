#pragma once
// The texts of the string table by name; the value is the text's index.
enum class TextId : int {
    Search = 0,
    Update = 1,
    StopUpdateQuestion = 2,
    FileType = 3,
    Success = 4,
    NewFirmware = 5,
    Title = 6,
    Failure = 7,
    SearchingBluetooth = 8,
    Warning = 9,
    OpenBluetoothError = 10,
    BootModeFailure = 11,
    UpdateButton = 12,
    UpgradeToLatest = 13,
    Instructions = 14,  // also the hint label and the "no firmware" message
    CurrentIs = 15,
    ResetHint = 16,
    NotRecognized = 17,
    FirmwareVersion = 18,
};
