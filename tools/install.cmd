@echo off
rem Installs Vesk into the shared VST folders most Windows hosts scan (run it
rem as administrator); "install.cmd /uninstall" removes it again.
setlocal
set "VST2=%COMMONPROGRAMFILES%\VST2"
set "VST3=%COMMONPROGRAMFILES%\VST3"
set "HERE=%~dp0"
if /i "%~1"=="/uninstall" goto uninstall
if not "%~1"=="" goto usage
if not exist "%VST2%" mkdir "%VST2%" || goto failed
for %%f in (vesk.dll vesk-instrument.dll) do (
  copy /y "%HERE%%%f" "%VST2%\" >nul || goto failed
  echo installed %VST2%\%%f
)
if exist "%HERE%Vesk.vst3" (
  xcopy /e /i /y /q "%HERE%Vesk.vst3" "%VST3%\Vesk.vst3" >nul || goto failed
  echo installed %VST3%\Vesk.vst3
)
echo Let your host rescan its plug-ins. To remove them again: install.cmd /uninstall
exit /b 0
:uninstall
for %%f in (vesk.dll vesk-instrument.dll) do if exist "%VST2%\%%f" del "%VST2%\%%f" && echo removed %VST2%\%%f
if exist "%VST3%\Vesk.vst3" rmdir /s /q "%VST3%\Vesk.vst3" && echo removed %VST3%\Vesk.vst3
exit /b 0
:usage
echo usage: install.cmd [/uninstall]
exit /b 2
:failed
echo install.cmd: could not copy into %VST2% (run it as administrator)
exit /b 1
