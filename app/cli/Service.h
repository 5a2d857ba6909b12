// tempolog-cli service: the recorder as a Windows service, one per port, as
// the systemd unit tempolog-cli@PORT is on Linux.
//
//   install  registers the service tempolog-cli-NAME (started at boot) and
//            the event log source "tempolog"; makes the service's folder
//   remove   stops the service and removes it; its files stay
//   run      what the service control manager starts: the recording of
//            `tempolog-cli record` into %ProgramData%\tempolog\tempolog-NAME.log
//            and tempolog-NAME.prom, ended by the service's stop and shutdown controls
//            as Ctrl+C ends it in a console
//
// NAME is PortFileName(port). Elsewhere than on Windows every action says the
// command exists only there and returns kExitBadArguments.
#pragma once

#include <string>

#include "app/cli/CliArguments.h"

namespace tempolog {

int RunService(const TServiceOptions& options);

// Within `service run`: takes the message lines ("tempolog-cli: " and a text,
// each ended by "\n") that standard error would show, for the event log, and
// returns true. Elsewhere returns false and takes nothing.
bool ServiceTakesMessages(const std::string& lines);

// What the service needs of the console (Console_win32.cpp):
// Asks a recording under way to end as Ctrl+C does (the stop control).
void StopRecording();
// From now on standard output, which a service lacks, takes every byte and
// keeps none, as NUL would: the readings are in the log.
void DropStandardOutput();

}  // namespace tempolog
