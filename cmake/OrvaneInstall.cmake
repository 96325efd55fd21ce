# `cmake --install` lays out a self-contained runtime folder:
#   bin/orvane[.exe]            the runtime
#   bin/ScriptHost/             Orvane.ScriptHost.dll and its files, built in Release
#                               (the first place the script host search looks)
#   bin/fonts/                  the default font and its licence
#   share/doc/orvane/           licences and notices
# The script host is published with the .NET SDK at install time, so a plain
# build needs no .NET; the Debug output for development stays where it is.

install(TARGETS orvane RUNTIME DESTINATION bin)
install(FILES
  ${PROJECT_SOURCE_DIR}/engine/fonts/DejaVuSans.ttf
  ${PROJECT_SOURCE_DIR}/engine/fonts/LICENSE-DejaVu.txt
  DESTINATION bin/fonts)
install(FILES
  ${PROJECT_SOURCE_DIR}/engine/fonts/LICENSE-DejaVu.txt
  ${PROJECT_SOURCE_DIR}/engine/THIRD-PARTY-NOTICES.txt
  DESTINATION share/doc/orvane)

find_program(ORVANE_DOTNET dotnet)
set(orvane_script_host_project ${PROJECT_SOURCE_DIR}/engine/csharp/ScriptHost/Orvane.ScriptHost.csproj)
install(CODE "
  set(destination \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/ScriptHost\")
  if(\"${ORVANE_DOTNET}\" STREQUAL \"\" OR \"${ORVANE_DOTNET}\" MATCHES \"NOTFOUND\$\")
    message(FATAL_ERROR \"dotnet was not found: the script host cannot be published into \${destination}\")
  endif()
  file(REMOVE_RECURSE \"\${destination}\")
  message(STATUS \"Publishing the script host (Release): \${destination}\")
  execute_process(
    COMMAND \"${ORVANE_DOTNET}\" publish \"${orvane_script_host_project}\"
            -c Release -o \"\${destination}\" -p:UseAppHost=false -nologo -v q
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR \"dotnet publish of the script host failed (\${result})\")
  endif()
")
