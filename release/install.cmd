@echo off
rem Registers this release folder's stand-in player control (TemplatePlayer.dll) for the current user, so that
rem the savers find a player without administrator rights:
rem   - in the 64-bit registry view (64-bit Windows only) with x64\TemplatePlayer.dll,
rem   - in the 32-bit registry view with x86\TemplatePlayer.dll,
rem each only when no player that plays movies is registered in that view yet. A player is registered when the
rem control's class key under HKEY_CURRENT_USER\Software\Classes or HKEY_LOCAL_MACHINE\Software\Classes of the view
rem has an InprocServer32 whose default value names a file that exists; a registration whose file is gone does not
rem count. The official player builds 32.0.0.387 to 32.0.0.465 refuse to play anything after 12 January 2021: where
rem the machine-wide player is one of them, the stand-in is registered for the current user anyway (a per-user class
rem takes precedence for that user). MakeSaver.exe of this folder, of cmd.exe's bitness so that it sees the paths as
rem this script does, reads the player's file version (--player-version; exit code 3 for those builds). A per-user
rem registration of such a build that install.cmd did not make is left as it is, unless /force is given.
rem The per-user class key gets the value InstalledFrom (this folder), by which uninstall.cmd knows what it may
rem remove.
rem
rem Usage: install.cmd [/force]   (from any current folder, in a 32-bit or 64-bit cmd.exe)
rem   /force  registers the stand-in for the current user whatever player is registered
rem Prints one line per view. Exit code 0, 1 when a reg call failed, 2 for an unknown argument.
rem
rem Delayed expansion stays off and no path is expanded inside a parenthesised block, so that folder names with
rem spaces, ( ) & ! or % pass unharmed; lines naming paths are printed through :say.

setlocal enableextensions disabledelayedexpansion
set "folder=%~dp0"
set "folder=%folder:~0,-1%"
set "clsid={D27CDB6E-AE6D-11CF-96B8-444553540000}"
rem %SystemRoot% has no spaces, so these need no quotes (which would confuse for /f's command line). A 32-bit
rem cmd.exe gets the 32-bit reg.exe here; /reg:64 still reaches the 64-bit view from it.
set "reg=%SystemRoot%\System32\reg.exe"
set "find=%SystemRoot%\System32\find.exe"
set "failed="
set "force="
if /i "%~1"=="/force" set "force=1"
if not "%~1"=="" if not defined force goto :usage

set "tool=%folder%\x86\MakeSaver.exe"
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" set "tool=%folder%\x64\MakeSaver.exe"

set "windows64="
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" set "windows64=1"
if /i "%PROCESSOR_ARCHITECTURE%"=="ARM64" set "windows64=1"
if defined PROCESSOR_ARCHITEW6432 set "windows64=1"

call :choose_view 64
call :install_view
call :choose_view 32
call :install_view
if defined failed exit /b 1
exit /b 0

:usage
echo Usage: install.cmd [/force]
exit /b 2


rem Sets the keys, reg.exe switches and DLL of one view (64 or 32).
:choose_view
set "bits=%~1"
set "view=%~1-bit view"
set "arch=x86"
if "%bits%"=="64" set "arch=x64"
set "dll=%folder%\%arch%\TemplatePlayer.dll"
set "user_key=HKCU\Software\Classes\CLSID\%clsid%"
set "machine_key=HKLM\Software\Classes\CLSID\%clsid%"
set "user_switch="
set "machine_switch="
rem What a path in %SystemRoot%\System32 means for programs of this view, when it is not what it means here.
set "system_folder="
if not defined windows64 exit /b 0
if "%bits%"=="64" goto :choose_64bit_view
rem Windows keeps the per-user classes of 32-bit programs under Classes\Wow6432Node. The key is named there
rem directly because Wine redirects a 32-bit access (/reg:32) to it only once that key exists.
set "user_key=HKCU\Software\Classes\Wow6432Node\CLSID\%clsid%"
set "user_switch=/reg:64"
set "machine_switch=/reg:32"
if not defined PROCESSOR_ARCHITEW6432 set "system_folder=%SystemRoot%\SysWOW64\"
exit /b 0
:choose_64bit_view
set "user_switch=/reg:64"
set "machine_switch=/reg:64"
if defined PROCESSOR_ARCHITEW6432 set "system_folder=%SystemRoot%\Sysnative\"
exit /b 0


:install_view
if "%bits%"=="64" if not defined windows64 goto :no_64bit_view
if not exist "%dll%" goto :dll_missing
set "why="
call :player_in "%user_key%" "%user_switch%"
if defined player goto :user_player_present
call :player_in "%machine_key%" "%machine_switch%"
if not defined player goto :register
if defined force goto :forced
call :player_version
if defined blocked goto :blocked_player
goto :player_present

:user_player_present
if defined force goto :forced
call :player_version
if defined blocked goto :blocked_user_player
goto :player_present

:blocked_player
set "why=the registered player %player% is version %version%, a build that refuses to play any movie"
set "why=%why% since 12 January 2021"
goto :register

:forced
set "why=/force: in place of the registered player %player%"
goto :register

:register
rem What is left under the per-user key names a missing file, a refusing build or, with /force, any player: it
rem goes, so that nothing of it mixes with ours.
%reg% delete "%user_key%" /f %user_switch% >nul 2>&1
%reg% add "%user_key%" /ve /d "Stand-in Flash player" /f %user_switch% >nul 2>&1
if errorlevel 1 goto :register_failed
%reg% add "%user_key%" /v InstalledFrom /d "%folder%" /f %user_switch% >nul 2>&1
if errorlevel 1 goto :register_failed
%reg% add "%user_key%\InprocServer32" /ve /d "%dll%" /f %user_switch% >nul 2>&1
if errorlevel 1 goto :register_failed
%reg% add "%user_key%\InprocServer32" /v ThreadingModel /d Apartment /f %user_switch% >nul 2>&1
if errorlevel 1 goto :register_failed
set "message=%view%: registered %dll% for the current user."
if defined why set "message=%view%: registered %dll% for the current user (%why%)."
goto :say

:blocked_user_player
set "message=%view%: the per-user player %player% is version %version%, a build that refuses to play any movie"
set "message=%message% since 12 January 2021, and install.cmd did not register it; left as it is"
set "message=%message% (install.cmd /force replaces it)."
goto :say

:player_present
set "message=%view%: a player is already registered (%player%); nothing added."
goto :say

:dll_missing
set "message=%view%: %dll% is missing; skipped."
goto :say

:no_64bit_view
set "message=%view%: this is a 32-bit Windows; skipped."
goto :say

:register_failed
set "failed=1"
rem Half a registration would pass for ours.
%reg% delete "%user_key%" /f %user_switch% >nul 2>&1
set "message=%view%: registering %dll% failed; nothing added."
goto :say


rem Sets player to the server path registered under the class key %1 (reg.exe switch %2) when that file exists,
rem otherwise clears it.
:player_in
set "player="
call :read_value "%~1\InprocServer32" "%~2" /ve
if not defined value exit /b 0
set "server=%value%"
if defined expand call set "server=%server%"
if defined system_folder call set "server=%%server:%SystemRoot%\System32\=%system_folder%%%"
if not exist "%server%" exit /b 0
if exist "%server%\*" exit /b 0
set "player=%value%"
exit /b 0


rem Sets version to the file version of %server% and blocked when it is a build that refuses to play; both empty
rem when the file has no version or this folder has no MakeSaver.exe.
:player_version
set "blocked="
set "version="
if not exist "%tool%" exit /b 0
set "version_file=%TEMP%\tpl-player-version-%RANDOM%%RANDOM%.txt"
"%tool%" --player-version "%server%" >"%version_file%" 2>nul
if errorlevel 3 if not errorlevel 4 set "blocked=1"
set /p version=<"%version_file%"
del "%version_file%" >nul 2>&1
exit /b 0


rem Sets value to the string value %3 %4 (/ve, or /v name) of key %1 (reg.exe switch %2), and expand when it is
rem a REG_EXPAND_SZ; both empty when there is none. The type column is the anchor: the default value's name is
rem localised ("(Default)", "(Standard)", ...) and may hold spaces, the data may too.
:read_value
set "value="
set "expand="
set "line="
for /f "delims=" %%L in ('%reg% query "%~1" %~3 %~4 %~2 2^>nul ^| %find% "REG_"') do set "line=%%L"
if not defined line exit /b 0
set "rest=%line:*REG_EXPAND_SZ=%"
if not "%rest%"=="%line%" set "expand=1"
if not defined expand set "rest=%line:*REG_SZ=%"
if "%rest%"=="%line%" exit /b 0
:read_value_trim
if not "%rest:~0,1%"==" " goto :read_value_trimmed
set "rest=%rest:~1%"
goto :read_value_trim
:read_value_trimmed
set "value=%rest%"
exit /b 0


rem Prints message as it is: the text of a for variable is not parsed again, whatever characters its paths hold.
:say
for %%M in ("%message%") do echo %%~M
exit /b 0
