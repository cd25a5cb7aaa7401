@echo off
rem Removes what install.cmd of this release folder registered for the current user: in each registry view, the
rem player control's per-user class key, but only when it carries install.cmd's value InstalledFrom and its
rem InprocServer32 still names this folder's TemplatePlayer.dll (x64 in the 64-bit view, x86 in the 32-bit one).
rem Anything else stays as it is: a per-user registration someone else made, and every machine-wide one under
rem HKEY_LOCAL_MACHINE. Running it twice, or without an install before, removes nothing.
rem
rem Usage: uninstall.cmd   (from any current folder, in a 32-bit or 64-bit cmd.exe)
rem Prints one line per view. Exit code 0, or 1 when a reg call failed.
rem
rem Written like install.cmd: delayed expansion off, no path expanded inside a parenthesised block.

setlocal enableextensions disabledelayedexpansion
set "folder=%~dp0"
set "folder=%folder:~0,-1%"
set "clsid={D27CDB6E-AE6D-11CF-96B8-444553540000}"
set "reg=%SystemRoot%\System32\reg.exe"
set "find=%SystemRoot%\System32\find.exe"
set "failed="

set "windows64="
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" set "windows64=1"
if /i "%PROCESSOR_ARCHITECTURE%"=="ARM64" set "windows64=1"
if defined PROCESSOR_ARCHITEW6432 set "windows64=1"

call :choose_view 64
call :uninstall_view
call :choose_view 32
call :uninstall_view
if defined failed exit /b 1
exit /b 0


rem Sets the per-user key, its reg.exe switch and the DLL of one view (64 or 32), as install.cmd does.
:choose_view
set "bits=%~1"
set "view=%~1-bit view"
set "arch=x86"
if "%bits%"=="64" set "arch=x64"
set "dll=%folder%\%arch%\TemplatePlayer.dll"
set "user_key=HKCU\Software\Classes\CLSID\%clsid%"
set "user_switch="
if not defined windows64 exit /b 0
set "user_switch=/reg:64"
rem Where Windows keeps the per-user classes of 32-bit programs (see install.cmd).
if "%bits%"=="32" set "user_key=HKCU\Software\Classes\Wow6432Node\CLSID\%clsid%"
exit /b 0


:uninstall_view
if "%bits%"=="64" if not defined windows64 goto :no_64bit_view
%reg% query "%user_key%" %user_switch% >nul 2>&1
if errorlevel 1 goto :nothing_registered
call :read_value "%user_key%" "%user_switch%" /v InstalledFrom
if not defined value goto :not_ours
call :read_value "%user_key%\InprocServer32" "%user_switch%" /ve
if /i not "%value%"=="%dll%" goto :not_ours
%reg% delete "%user_key%" /f %user_switch% >nul 2>&1
if errorlevel 1 goto :remove_failed
set "message=%view%: removed the registration of %dll% for the current user."
goto :say

:nothing_registered
set "message=%view%: no per-user registration; nothing removed."
goto :say

:not_ours
set "message=%view%: the per-user registration was not made by this folder's install.cmd; left as it is."
goto :say

:no_64bit_view
set "message=%view%: this is a 32-bit Windows; skipped."
goto :say

:remove_failed
set "failed=1"
set "message=%view%: removing the registration of %dll% failed."
goto :say


rem Sets value to the string value %3 %4 (/ve, or /v name) of key %1 (reg.exe switch %2); empty when there is
rem none. The type column is the anchor, as in install.cmd.
:read_value
set "value="
set "line="
for /f "delims=" %%L in ('%reg% query "%~1" %~3 %~4 %~2 2^>nul ^| %find% "REG_"') do set "line=%%L"
if not defined line exit /b 0
set "rest=%line:*REG_EXPAND_SZ=%"
if "%rest%"=="%line%" set "rest=%line:*REG_SZ=%"
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
