// The default machine: a gaming PC with Windows 10 22H2 (x64), user "Gamer",
// Steam with a game, Discord, a browser and OBS running, and Velmora installed in its 32-bit
// program folder.
#include "platform/sim/SimMachine.h"

namespace sim {

std::string DefaultMachineText() {
  return R"MACHINE(# Simulated Windows machine (docs/sim-machine.md). Programs rewrite this file on every
# change, so comments other than this header are not kept.
[machine]
os.version = 10.0.19045
os.platform = 2
os.csd =
os.servicePack = 0.0
os.suiteMask = 0x0100
os.productType = workstation
arch.native = x64
arch.process = x86
wow64 = yes
api.GetNativeSystemInfo = yes
api.IsWow64Process = yes
api.missing =
api.GetProcessImageFileNameW = yes
api.GetModuleFileNameExW = yes
api.QueryWorkingSet = yes
serverR2 = 0
screen = 1920x1080
processors = 8
codePage = 1252
language = 0x0409
decimalSeparator = .
user = Gamer
exe = C:\Program Files (x86)\Velmora\VlxMini.exe
systemDir = C:\Windows\SysWOW64
currentDirectory = C:\Program Files (x86)\Velmora
selfPid = 9120
nextPid = 10000
elevated = yes
privileges = SeChangeNotifyPrivilege
clock = real
tick = 5000000
localTime = 2026-12-06 20:15:00.000

[env]
ALLUSERSPROFILE = C:\ProgramData
APPDATA = C:\Users\Gamer\AppData\Roaming
CommonProgramFiles = C:\Program Files (x86)\Common Files
CommonProgramFiles(x86) = C:\Program Files (x86)\Common Files
CommonProgramW6432 = C:\Program Files\Common Files
COMPUTERNAME = GAMER-PC
ComSpec = C:\Windows\system32\cmd.exe
HOMEDRIVE = C:
HOMEPATH = \Users\Gamer
LOCALAPPDATA = C:\Users\Gamer\AppData\Local
LOGONSERVER = \\GAMER-PC
NUMBER_OF_PROCESSORS = 8
OneDrive = C:\Users\Gamer\OneDrive
OS = Windows_NT
Path = C:\Windows\system32;C:\Windows;C:\Windows\System32\Wbem;C:\Windows\System32\WindowsPowerShell\v1.0\;C:\Users\Gamer\AppData\Local\Microsoft\WindowsApps
PATHEXT = .COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC
PROCESSOR_ARCHITECTURE = x86
PROCESSOR_ARCHITEW6432 = AMD64
PROCESSOR_IDENTIFIER = AMD64 Family 25 Model 33 Stepping 0, AuthenticAMD
PROCESSOR_LEVEL = 25
PROCESSOR_REVISION = 2100
ProgramData = C:\ProgramData
ProgramFiles = C:\Program Files (x86)
ProgramFiles(x86) = C:\Program Files (x86)
ProgramW6432 = C:\Program Files
PUBLIC = C:\Users\Public
SESSIONNAME = Console
SystemDrive = C:
SystemRoot = C:\Windows
TEMP = C:\Users\Gamer\AppData\Local\Temp
TMP = C:\Users\Gamer\AppData\Local\Temp
USERDOMAIN = GAMER-PC
USERDOMAIN_ROAMINGPROFILE = GAMER-PC
USERNAME = Gamer
USERPROFILE = C:\Users\Gamer
windir = C:\Windows

[folders]
DESKTOP = C:\Users\Gamer\Desktop
PROGRAMS = C:\Users\Gamer\AppData\Roaming\Microsoft\Windows\Start Menu\Programs
PERSONAL = C:\Users\Gamer\Documents
STARTUP = C:\Users\Gamer\AppData\Roaming\Microsoft\Windows\Start Menu\Programs\Startup
STARTMENU = C:\Users\Gamer\AppData\Roaming\Microsoft\Windows\Start Menu
MYMUSIC = C:\Users\Gamer\Music
MYVIDEO = C:\Users\Gamer\Videos
DESKTOPDIRECTORY = C:\Users\Gamer\Desktop
FONTS = C:\Windows\Fonts
COMMON_STARTMENU = C:\ProgramData\Microsoft\Windows\Start Menu
COMMON_PROGRAMS = C:\ProgramData\Microsoft\Windows\Start Menu\Programs
COMMON_STARTUP = C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Startup
COMMON_DESKTOPDIRECTORY = C:\Users\Public\Desktop
APPDATA = C:\Users\Gamer\AppData\Roaming
LOCAL_APPDATA = C:\Users\Gamer\AppData\Local
COMMON_APPDATA = C:\ProgramData
WINDOWS = C:\Windows
SYSTEM = C:\Windows\SysWOW64
PROGRAM_FILES = C:\Program Files (x86)
MYPICTURES = C:\Users\Gamer\Pictures
PROFILE = C:\Users\Gamer
SYSTEMX86 = C:\Windows\SysWOW64
PROGRAM_FILESX86 = C:\Program Files (x86)
PROGRAM_FILES_COMMON = C:\Program Files (x86)\Common Files
PROGRAM_FILES_COMMONX86 = C:\Program Files (x86)\Common Files
COMMON_DOCUMENTS = C:\Users\Public\Documents

[drives]
C = drive_c
C.device = \Device\HarddiskVolume3

[reg HKCU\Control Panel\Desktop]
WallPaper = sz:C:\Users\Gamer\AppData\Roaming\Microsoft\Windows\Themes\TranscodedWallpaper
LogPixels = dword:96
Win8DpiScaling = dword:1

[reg HKCU\Control Panel\Desktop\WindowMetrics]
AppliedDPI = dword:96

[reg HKCU\Control Panel\International]
Locale = sz:00000409
LocaleName = sz:en-US
sDecimal = sz:.
sThousand = sz:,
sShortDate = sz:M/d/yyyy
sTimeFormat = sz:h:mm:ss tt

[reg HKCU\Software\Microsoft\GameBar]
AllowAutoGameMode = dword:1
AutoGameModeEnabled = dword:1
ShowStartupPanel = dword:0

[reg HKCU\Software\Microsoft\Windows\CurrentVersion\Run]
Steam = sz:"\"C:\\Program Files (x86)\\Steam\\steam.exe\" -silent"
Discord = sz:C:\Users\Gamer\AppData\Local\Discord\Update.exe --processStart Discord.exe
VlxTray = sz:"\"C:\\Program Files (x86)\\Velmora\\VlxTray.exe\" -autorun"

[reg HKCU\Software\Trevanic\Velmora]
Language = sz:English
FirstRun = dword:0

[reg HKCU\Software\Valve\Steam]
SteamExe = sz:c:/program files (x86)/steam/steam.exe
SteamPath = sz:c:/program files (x86)/steam
Language = sz:english

[reg HKLM\HARDWARE\DESCRIPTION\System\CentralProcessor\0]
~MHz = dword:3701
ProcessorNameString = sz:AMD Ryzen 7 5800X 8-Core Processor
VendorIdentifier = sz:AuthenticAMD

[reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion]
CommonFilesDir = sz:C:\Program Files\Common Files
ProgramFilesDir = sz:C:\Program Files
ProgramW6432Dir = sz:C:\Program Files

[reg HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Discord]
DisplayName = sz:Discord

[reg HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion]
CurrentBuild = sz:19045
CurrentBuildNumber = sz:19045
CurrentMajorVersionNumber = dword:10
CurrentMinorVersionNumber = dword:0
CurrentVersion = sz:6.3
DisplayVersion = sz:22H2
EditionID = sz:Professional
InstallationType = sz:Client
ProductName = sz:Windows 10 Pro
RegisteredOwner = sz:Gamer
ReleaseId = sz:2009
SystemRoot = sz:C:\Windows
UBR = dword:3803

[reg HKLM\SOFTWARE\NVIDIA Corporation\Global]
DisplayDriverVersion = sz:546.33

[reg HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion]
CommonFilesDir = sz:C:\Program Files (x86)\Common Files
ProgramFilesDir = sz:C:\Program Files (x86)

[reg HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Steam]
DisplayIcon = sz:C:\Program Files (x86)\Steam\steam.exe
DisplayName = sz:Steam
Publisher = sz:Valve Corporation
UninstallString = sz:"\"C:\\Program Files (x86)\\Steam\\uninstall.exe\""

[reg HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Velmora_is1]
Inno Setup: App Path = sz:C:\Program Files (x86)\Velmora
Inno Setup: Language = sz:english
DisplayName = sz:Velmora
DisplayIcon = sz:C:\Program Files (x86)\Velmora\VlxMain.exe
DisplayVersion = sz:5.2.1.154
Publisher = sz:Trevanic
InstallLocation = sz:C:\Program Files (x86)\Velmora\
InstallDate = sz:20260115
UninstallString = sz:"\"C:\\Program Files (x86)\\Velmora\\unins000.exe\""
QuietUninstallString = sz:"\"C:\\Program Files (x86)\\Velmora\\unins000.exe\" /SILENT"
MajorVersion = dword:5
MinorVersion = dword:2
EstimatedSize = dword:61440

[reg HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows NT\CurrentVersion]
CurrentBuild = sz:19045
CurrentMajorVersionNumber = dword:10
CurrentMinorVersionNumber = dword:0
CurrentVersion = sz:6.3
DisplayVersion = sz:22H2
EditionID = sz:Professional
ProductName = sz:Windows 10 Pro
ReleaseId = sz:2009

[reg HKLM\SOFTWARE\WOW6432Node\Trevanic\Velmora]
InstallPath = sz:C:\Program Files (x86)\Velmora
Version = sz:5.2.1.154
InstallDate = dword:45366

[reg HKLM\SOFTWARE\WOW6432Node\Valve\Steam]
InstallPath = sz:C:\Program Files (x86)\Steam

[reg HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage]
ACP = sz:1252
OEMCP = sz:437

[reg HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment]
ComSpec = expand:%SystemRoot%\system32\cmd.exe
NUMBER_OF_PROCESSORS = sz:8
OS = sz:Windows_NT
Path = expand:%SystemRoot%\system32;%SystemRoot%;%SystemRoot%\System32\Wbem;%SYSTEMROOT%\System32\WindowsPowerShell\v1.0\
PROCESSOR_ARCHITECTURE = sz:AMD64
TEMP = expand:%SystemRoot%\TEMP
TMP = expand:%SystemRoot%\TEMP
windir = expand:%SystemRoot%

[file C:\pagefile.sys]
attributes = hidden, system, archive

[file C:\Program Files (x86)\Common Files\Steam\steamservice.exe]
version.file = 8.79.70.71
version.product = 8.79.70.71
version.translations = 040904B0
version.string.040904B0.CompanyName = Valve Corporation
version.string.040904B0.FileDescription = Steam Client Service
version.string.040904B0.FileVersion = 8.79.70.71

[file C:\Program Files (x86)\Google\Update\GoogleUpdate.exe]
version.file = 1.3.36.372
version.product = 1.3.36.372
version.translations = 040904B0
version.string.040904B0.CompanyName = Google LLC
version.string.040904B0.FileDescription = Google Installer
version.string.040904B0.FileVersion = 1.3.36.372

[file C:\Program Files (x86)\Steam\steam.exe]
version.file = 8.79.70.71
version.product = 1.0.0.0
version.translations = 040904B0
version.string.040904B0.CompanyName = Valve Corporation
version.string.040904B0.FileDescription = Steam
version.string.040904B0.FileVersion = 08.79.70.71
version.string.040904B0.ProductName = Steam
version.string.040904B0.ProductVersion = 1.0.0.0

[file C:\Program Files (x86)\Steam\steamapps\common\Valheim\UnityCrashHandler64.exe]
version.file = 2020.3.45.37311
version.product = 2020.3.45.37311
version.translations = 040904B0
version.string.040904B0.CompanyName = Unity Technologies ApS
version.string.040904B0.FileDescription = Unity crash handler
version.string.040904B0.FileVersion = 2020.3.45.37311
version.string.040904B0.ProductName = Unity
version.string.040904B0.ProductVersion = 2020.3.45.37311

[file C:\Program Files (x86)\Steam\steamapps\common\Valheim\valheim.exe]
version.file = 2020.3.45.0
version.product = 0.217.38.0
version.translations = 040904B0
version.string.040904B0.CompanyName = IronGate
version.string.040904B0.FileDescription = Valheim
version.string.040904B0.FileVersion = 2020.3.45.0
version.string.040904B0.ProductName = Valheim
version.string.040904B0.ProductVersion = 0.217.38.0

[file C:\Program Files (x86)\Velmora\Bugreport.exe]
version.file = 5.2.1.154
version.product = 5.2.1.154
version.translations = 040904E4
version.string.040904E4.CompanyName = Trevanic
version.string.040904E4.FileDescription = Velmora bug report
version.string.040904E4.FileVersion = 5.2.1.154
version.string.040904E4.ProductName = Velmora
version.string.040904E4.ProductVersion = 5.2.1.154

[file C:\Program Files (x86)\Velmora\datastate.dll]

[file C:\Program Files (x86)\Velmora\Register.dll]

[file C:\Program Files (x86)\Velmora\skin\classic.dll]

[file C:\Program Files (x86)\Velmora\Temperature.dll]

[file C:\Program Files (x86)\Velmora\unins000.exe]
version.file = 51.52.0.0
version.product = 6.2.2.0
version.translations = 00000000
version.string.00000000.CompanyName = Trevanic
version.string.00000000.FileDescription = Velmora Setup
version.string.00000000.FileVersion = 6.2.2
version.string.00000000.ProductName = Velmora
version.string.00000000.ProductVersion = 5.2.1.154

[file C:\Program Files (x86)\Velmora\VlxMain.exe]
version.file = 5.2.1.154
version.product = 5.2.1.154
version.translations = 040904E4
version.string.040904E4.CompanyName = Trevanic
version.string.040904E4.FileDescription = Velmora
version.string.040904E4.FileVersion = 5.2.1.154
version.string.040904E4.InternalName = VlxMain
version.string.040904E4.LegalCopyright = Copyright (C) Trevanic
version.string.040904E4.OriginalFilename = VlxMain.exe
version.string.040904E4.ProductName = Velmora
version.string.040904E4.ProductVersion = 5.2.1.154

[file C:\Program Files (x86)\Velmora\VlxMini.exe]
version.file = 5.2.1.154
version.product = 5.2.1.154
version.translations = 040904E4
version.string.040904E4.CompanyName = Trevanic
version.string.040904E4.FileDescription = Velmora boost engine
version.string.040904E4.FileVersion = 5.2.1.154
version.string.040904E4.InternalName = VlxMini
version.string.040904E4.LegalCopyright = Copyright (C) Trevanic
version.string.040904E4.OriginalFilename = VlxMini.exe
version.string.040904E4.ProductName = Velmora
version.string.040904E4.ProductVersion = 5.2.1.154

[file C:\Program Files (x86)\Velmora\VlxTray.exe]
version.file = 5.2.1.154
version.product = 5.2.1.154
version.translations = 040904E4
version.string.040904E4.CompanyName = Trevanic
version.string.040904E4.FileDescription = Velmora tray
version.string.040904E4.FileVersion = 5.2.1.154
version.string.040904E4.InternalName = VlxTray
version.string.040904E4.LegalCopyright = Copyright (C) Trevanic
version.string.040904E4.OriginalFilename = VlxTray.exe
version.string.040904E4.ProductName = Velmora
version.string.040904E4.ProductVersion = 5.2.1.154

[file C:\Program Files (x86)\Velmora\VlxUpdater.exe]

[file C:\Program Files\Common Files]
attributes = directory

[file C:\Program Files\Google\Chrome\Application\chrome.exe]
version.file = 120.0.6099.130
version.product = 120.0.6099.130
version.translations = 040904B0
version.string.040904B0.CompanyName = Google LLC
version.string.040904B0.FileDescription = Google Chrome
version.string.040904B0.FileVersion = 120.0.6099.130
version.string.040904B0.ProductName = Google Chrome
version.string.040904B0.ProductVersion = 120.0.6099.130

[file C:\Program Files\obs-studio\bin\64bit\obs64.exe]
version.file = 30.0.2.0
version.product = 30.0.2.0
version.translations = 040904E4
version.string.040904E4.CompanyName = OBS Project
version.string.040904E4.FileDescription = OBS Studio
version.string.040904E4.FileVersion = 30.0.2.0
version.string.040904E4.ProductName = OBS Studio
version.string.040904E4.ProductVersion = 30.0.2.0

[file C:\ProgramData]
attributes = hidden, directory

[file C:\Users\Gamer\AppData]
attributes = hidden, directory

[file C:\Users\Gamer\AppData\Local\Discord\app-1.0.9163\Discord.exe]
version.file = 1.0.9163.0
version.product = 1.0.9163.0
version.translations = 040904B0
version.string.040904B0.CompanyName = Discord Inc.
version.string.040904B0.FileDescription = Discord
version.string.040904B0.FileVersion = 1.0.9163.0
version.string.040904B0.ProductName = Discord
version.string.040904B0.ProductVersion = 1.0.9163.0

[file C:\Users\Gamer\AppData\Roaming\Spotify\Spotify.exe]
version.file = 1.2.26.1187
version.product = 1.2.26.1187
version.translations = 040904B0
version.string.040904B0.CompanyName = Spotify Ltd
version.string.040904B0.FileDescription = Spotify
version.string.040904B0.FileVersion = 1.2.26.1187
version.string.040904B0.ProductName = Spotify
version.string.040904B0.ProductVersion = 1.2.26.1187

[file C:\Users\Gamer\AppData\Roaming\Trevanic\Velmora]
attributes = directory

[file C:\Users\Gamer\AppData\Roaming\Trevanic\Velmora\Logs]
attributes = directory

[file C:\Windows\explorer.exe]
version.file = 10.0.19041.3803
version.product = 10.0.19041.3803
version.translations = 040904B0
version.string.040904B0.CompanyName = Microsoft Corporation
version.string.040904B0.FileDescription = Windows Explorer
version.string.040904B0.FileVersion = 10.0.19041.3803 (WinBuild.160101.0800)
version.string.040904B0.InternalName = explorer
version.string.040904B0.LegalCopyright = © Microsoft Corporation. All rights reserved.
version.string.040904B0.OriginalFilename = EXPLORER.EXE.MUI
version.string.040904B0.ProductName = Microsoft® Windows® Operating System
version.string.040904B0.ProductVersion = 10.0.19041.3803

[file C:\Windows\System32\DriverStore\FileRepository\nv_dispi.inf_amd64_9b4c8d\Display.NvContainer\NVDisplay.Container.exe]
version.file = 1.36.3171.3590
version.product = 1.36.3171.3590
version.translations = 040904B0
version.string.040904B0.CompanyName = NVIDIA Corporation
version.string.040904B0.FileDescription = NVIDIA Container
version.string.040904B0.FileVersion = 1.36.3171.3590

[file C:\Windows\System32\kernel32.dll]
version.file = 10.0.19041.3636
version.product = 10.0.19041.3636
version.type = 2
version.translations = 040904B0
version.string.040904B0.CompanyName = Microsoft Corporation
version.string.040904B0.FileDescription = Windows NT BASE API Client DLL
version.string.040904B0.FileVersion = 10.0.19041.3636 (WinBuild.160101.0800)
version.string.040904B0.InternalName = kernel32
version.string.040904B0.LegalCopyright = © Microsoft Corporation. All rights reserved.
version.string.040904B0.OriginalFilename = kernel32
version.string.040904B0.ProductName = Microsoft® Windows® Operating System
version.string.040904B0.ProductVersion = 10.0.19041.3636

[file C:\Windows\System32\notepad.exe]
version.file = 10.0.19041.3758
version.product = 10.0.19041.3758
version.translations = 040904B0
version.string.040904B0.CompanyName = Microsoft Corporation
version.string.040904B0.FileDescription = Notepad
version.string.040904B0.FileVersion = 10.0.19041.3758
version.string.040904B0.ProductName = Microsoft® Windows® Operating System
version.string.040904B0.ProductVersion = 10.0.19041.3758

[file C:\Windows\System32\spoolsv.exe]
version.file = 10.0.19041.3636
version.product = 10.0.19041.3636
version.translations = 040904B0
version.string.040904B0.CompanyName = Microsoft Corporation
version.string.040904B0.FileDescription = Spooler SubSystem App
version.string.040904B0.FileVersion = 10.0.19041.3636

[file C:\Windows\System32\svchost.exe]
version.file = 10.0.19041.3636
version.product = 10.0.19041.3636
version.translations = 040904B0
version.string.040904B0.CompanyName = Microsoft Corporation
version.string.040904B0.FileDescription = Host Process for Windows Services
version.string.040904B0.FileVersion = 10.0.19041.3636

[file C:\Windows\SysWOW64\kernel32.dll]
version.file = 10.0.19041.3636
version.product = 10.0.19041.3636
version.type = 2
version.translations = 040904B0
version.string.040904B0.CompanyName = Microsoft Corporation
version.string.040904B0.FileDescription = Windows NT BASE API Client DLL
version.string.040904B0.FileVersion = 10.0.19041.3636 (WinBuild.160101.0800)
version.string.040904B0.InternalName = kernel32
version.string.040904B0.LegalCopyright = © Microsoft Corporation. All rights reserved.
version.string.040904B0.OriginalFilename = kernel32
version.string.040904B0.ProductName = Microsoft® Windows® Operating System
version.string.040904B0.ProductVersion = 10.0.19041.3636

[file C:\Windows\Temp]
attributes = directory

[process 0]
name = [System Process]
parent = 0
user = SYSTEM
threads = 8
priority = 0
canOpen = no
canTerminate = no

[process 4]
name = System
parent = 0
user = SYSTEM
threads = 236
priority = 8
canOpen = no
canTerminate = no

[process 148]
name = Registry
parent = 4
user = SYSTEM
threads = 4
priority = 8
canOpen = no
canTerminate = no

[process 468]
name = smss.exe
path = C:\Windows\System32\smss.exe
parent = 4
user = SYSTEM
threads = 2
priority = 11
canOpen = no
canTerminate = no

[process 652]
name = csrss.exe
path = C:\Windows\System32\csrss.exe
parent = 636
user = SYSTEM
threads = 12
priority = 13
canOpen = no
canTerminate = no
priorityClass = high

[process 748]
name = wininit.exe
path = C:\Windows\System32\wininit.exe
parent = 636
user = SYSTEM
threads = 1
priority = 13
canTerminate = no
priorityClass = high

[process 760]
name = csrss.exe
path = C:\Windows\System32\csrss.exe
parent = 740
user = SYSTEM
threads = 14
priority = 13
canOpen = no
canTerminate = no
priorityClass = high

[process 856]
name = services.exe
path = C:\Windows\System32\services.exe
parent = 748
user = SYSTEM
threads = 8
priority = 9
canOpen = no
canTerminate = no

[process 876]
name = lsass.exe
path = C:\Windows\System32\lsass.exe
parent = 748
user = SYSTEM
threads = 9
priority = 9
canOpen = no
canTerminate = no

[process 900]
name = winlogon.exe
path = C:\Windows\System32\winlogon.exe
parent = 740
user = SYSTEM
threads = 3
priority = 13
canTerminate = no
priorityClass = high

[process 1012]
name = svchost.exe
path = C:\Windows\System32\svchost.exe
parent = 856
user = SYSTEM
threads = 21
priority = 8
canTerminate = no
commandLine = C:\Windows\system32\svchost.exe -k DcomLaunch -p
token = no
wsPrivate = 4300
wsShared = 3100
wsSharedHigh = 420

[process 1104]
name = svchost.exe
path = C:\Windows\System32\svchost.exe
parent = 856
user = NETWORK SERVICE
threads = 12
priority = 8
canTerminate = no
commandLine = C:\Windows\system32\svchost.exe -k RPCSS -p
access = query
wsPrivate = 2100
wsShared = 2500
wsSharedHigh = 180

[process 1216]
name = dwm.exe
path = C:\Windows\System32\dwm.exe
parent = 900
user = DWM-1
threads = 16
priority = 13
canTerminate = no
priorityClass = high

[process 1788]
name = svchost.exe
path = C:\Windows\System32\svchost.exe
parent = 856
user = LOCAL SERVICE
threads = 7
priority = 8
canTerminate = no
commandLine = C:\Windows\System32\svchost.exe -k LocalServiceNetworkRestricted -p
access = query
wsPrivate = 1600
wsShared = 2200
wsSharedHigh = 150

[process 2380]
name = spoolsv.exe
path = C:\Windows\System32\spoolsv.exe
parent = 856
user = SYSTEM
threads = 10
priority = 8
wsPrivate = 1900
wsShared = 2800
wsSharedHigh = 160

[process 2644]
name = SearchIndexer.exe
path = C:\Windows\System32\SearchIndexer.exe
parent = 856
user = SYSTEM
threads = 19
priority = 8
wsPrivate = 5200
wsShared = 3900
wsSharedHigh = 240

[process 4712]
name = explorer.exe
path = C:\Windows\explorer.exe
parent = 4688
user = Gamer
threads = 78
priority = 8
commandLine = C:\Windows\Explorer.EXE
wsPrivate = 21500
wsShared = 14200
wsSharedHigh = 310

[process 5120]
name = OneDrive.exe
path = C:\Users\Gamer\AppData\Local\Microsoft\OneDrive\OneDrive.exe
parent = 4712
user = Gamer
threads = 24
priority = 8
commandLine = "\"C:\\Users\\Gamer\\AppData\\Local\\Microsoft\\OneDrive\\OneDrive.exe\" /background"
wsPrivate = 6800
wsShared = 5200
wsSharedHigh = 40

[process 5388]
name = steam.exe
path = C:\Program Files (x86)\Steam\steam.exe
parent = 4712
user = Gamer
threads = 61
priority = 8
commandLine = "\"C:\\Program Files (x86)\\Steam\\steam.exe\" -silent"
wsPrivate = 12400
wsShared = 9100
wsSharedHigh = 120
wow64 = yes

[process 5602]
name = steamwebhelper.exe
path = C:\Program Files (x86)\Steam\bin\cef\cef.win7x64\steamwebhelper.exe
parent = 5388
user = Gamer
threads = 33
priority = 8
wsPrivate = 30100
wsShared = 8800
wsSharedHigh = 60

[process 6872]
name = valheim.exe
path = C:\Program Files (x86)\Steam\steamapps\common\Valheim\valheim.exe
parent = 5388
user = Gamer
threads = 64
priority = 8
commandLine = "\"C:\\Program Files (x86)\\Steam\\steamapps\\common\\Valheim\\valheim.exe\""
priorityClass = above
wsPrivate = 60200
wsShared = 12100
wsSharedHigh = 210

[process 6904]
name = UnityCrashHandler64.exe
path = C:\Program Files (x86)\Steam\steamapps\common\Valheim\UnityCrashHandler64.exe
parent = 6872
user = Gamer
threads = 3
priority = 8
commandLine = "\"C:\\Program Files (x86)\\Steam\\steamapps\\common\\Valheim\\UnityCrashHandler64.exe\" --attach 6872"
wsPrivate = 900
wsShared = 1800
wsSharedHigh = 10

[process 6024]
name = Discord.exe
path = C:\Users\Gamer\AppData\Local\Discord\app-1.0.9163\Discord.exe
parent = 4712
user = Gamer
threads = 45
priority = 8
wsPrivate = 41000
wsShared = 12000
wsSharedHigh = 90

[process 6340]
name = chrome.exe
path = C:\Program Files\Google\Chrome\Application\chrome.exe
parent = 4712
user = Gamer
threads = 40
priority = 8
wsPrivate = 42000
wsShared = 14000
wsSharedHigh = 150

[process 6452]
name = chrome.exe
path = C:\Program Files\Google\Chrome\Application\chrome.exe
parent = 6340
user = Gamer
threads = 18
priority = 4
commandLine = "\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" --type=renderer"
priorityClass = idle
wsPrivate = 18200
wsShared = 9100
wsSharedHigh = 30

[process 7016]
name = Spotify.exe
path = C:\Users\Gamer\AppData\Roaming\Spotify\Spotify.exe
parent = 4712
user = Gamer
threads = 38
priority = 8
wsPrivate = 24000
wsShared = 10500
wsSharedHigh = 80

[process 7488]
name = notepad.exe
path = C:\Windows\System32\notepad.exe
parent = 4712
user = Gamer
threads = 7
priority = 8
commandLine = "\"C:\\Windows\\system32\\notepad.exe\" C:\\Users\\Gamer\\Documents\\todo.txt"
wsPrivate = 700
wsShared = 2400
wsSharedHigh = 10

[process 7720]
name = obs64.exe
path = C:\Program Files\obs-studio\bin\64bit\obs64.exe
parent = 4712
user = Gamer
threads = 52
priority = 10
commandLine = "\"C:\\Program Files\\obs-studio\\bin\\64bit\\obs64.exe\" --minimize-to-tray"
priorityClass = above
wsPrivate = 15000
wsShared = 9000
wsSharedHigh = 60

[process 8604]
name = VlxMain.exe
path = C:\Program Files (x86)\Velmora\VlxMain.exe
parent = 4712
user = Gamer
threads = 22
priority = 8
wsPrivate = 9800
wsShared = 7100
wsSharedHigh = 50
wow64 = yes

[process 8872]
name = VlxTray.exe
path = C:\Program Files (x86)\Velmora\VlxTray.exe
parent = 4712
user = Gamer
threads = 6
priority = 8
commandLine = "\"C:\\Program Files (x86)\\Velmora\\VlxTray.exe\" -autorun"
wsPrivate = 2100
wsShared = 3900
wsSharedHigh = 20
wow64 = yes

[process 9120]
name = VlxMini.exe
path = C:\Program Files (x86)\Velmora\VlxMini.exe
parent = 8604
user = Gamer
threads = 3
priority = 8
commandLine = "\"C:\\Program Files (x86)\\Velmora\\VlxMini.exe\" -game"
wsPrivate = 1500
wsShared = 3200
wsSharedHigh = 10
wow64 = yes

[window TfrmVelmorixMain]
caption = Velmora
present = yes

[window TFormVX4Tray]
caption = Velmora_4_Tray_Form
present = yes
)MACHINE" +
         DefaultServicesText();
}

}  // namespace sim
