// What the machine, the drivers and the tests know of the program from
// outside: the registry keys it reads and writes, the device's printer and
// port, and the captions and texts of its windows. Written out here rather
// than taken from the program, so that a changed text or key shows as a
// failure.
#pragma once

// Below HKEY_LOCAL_MACHINE.
const char kProductKey[] = "SOFTWARE\\Veltro\\Quellbox";
const char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\VTsmfpi\\Parameters"; // "0": the port setting
const char kSelectKey[] = "SYSTEM\\Select";
const char kUsbDeviceKey[] = "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0c9d&Pid_3a10";
const char kUsbSetting[] = "VTvUsb0"; // the service's setting for the USB port

// Every key of the program, or of the tests' printer, that a test writes
// below HKEY_LOCAL_MACHINE: none may be left behind.
const char* const kProgramKeys[] = {
    "SOFTWARE\\Veltro",
    "SOFTWARE\\Wow6432Node\\Veltro", // the same, as a 32-bit program on 64-bit Windows sees it
    "SYSTEM\\CurrentControlSet\\Services\\VTsmfpi",
    "SYSTEM\\ControlSet001\\Services\\VTsmfpi",
    "SYSTEM\\ControlSet002\\Services\\VTsmfpi",
    "SYSTEM\\ControlSet003\\Services\\VTsmfpi",
    "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_0c9d&Pid_3a10",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Corvana R310/R520 Series",
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\QbxTest Printer",
};

// The device's printer and its USB port, and a printer name of the tests' own.
const char kDefaultPrinter[] = "Corvana R310/R520 Series";
const char kUsbPort[] = "QBXUSB1:";
const char kTestPrinter[] = "QbxTest Printer";

// Control ids and the command the drivers find their way by.
const int kPageTextId = 1002;          // the wizard's page text
const int kUnderstandId = 1002;        // the notice's check box
const unsigned kAboutCommand = 0x0010; // the About entry of the system menu

const char kAboutCaption[] = "About QbxMender";
const char kNoticeCaption[] = "Information for Windows XP users";
const char kNext[] = "Next >";
const char kFinish[] = "Finish";

// The wizard's pages, as the user reads them.
const char kWelcomePage[] = "                +++++About QBX Mender Software+++++\r\n\r\n"
                            "This software is the self-diagnosis program for QX-R310/\r\n"
                            "QX-R520Series.\r\n\r\nClick <Next>, to start the program.";
const char kDiagnosingPage[] = "Now Diagnosing.\r\nPlease wait...";
const char kNoProblemPage[] = "The QBX Mender did not find any problems.";
const char kNotInstalledPage[] = "Corvana Quellbox is not installed.\r\n";
const char kNotAdminPage[] = "You must be logged in as administrator.\r\n";
const char kPortLine[] = "The QBX Mender found USB problem.(Registory)\r\n";
const char kDriverLines[] = "The QBX Mender found USB problem.(Driver)\r\n"
                            "Check the connection of the PC and the fax machine.\r\n";
const char kClearLines[] = "\r\nClick <Next>, to clear the problem.\r\n";
const char kPortRepaired[] = "Registory data is set to USB setting correctly.\r\n";
const char kDriverRepaired[] = "Finished correctly.\r\n";
const char kFailed[] = "Ended in failure.\r\n";
