@echo off
rem Launcher of the Quillmar demo application.
rem   -a <main class>                    run the application
rem   -register <class> <handler> <xml>  the application registers itself
rem   -unregister <class>                ... and unregisters
set JAVA_PATH=""
set CLASSPATH=..\lib\qmtapp.jar
set APP_HOME=%~dp0..
echo %* >> "%APP_HOME%\launcher.log"
if "%1"=="-register" goto register
if "%1"=="-unregister" goto unregister
if exist %JAVA_PATH%\bin\javaw.exe start "" %JAVA_PATH%\bin\javaw.exe -cp %CLASSPATH% %2
goto end
:register
echo registered %2 with %3 from %4 > "%APP_HOME%\conf\registration.txt"
goto end
:unregister
if exist "%APP_HOME%\conf\registration.txt" del "%APP_HOME%\conf\registration.txt"
:end
