/* Runs a command line and waits until it and every process it started,
 * and those in turn, have ended: an uninstaller that hands over to a copy
 * of itself is done only when the copy is. The processes run in a job,
 * which they cannot leave; after the time limit they are ended.
 * Exits with the status of the first process, or 125 when it could not be
 * started, or 124 when the time ran out.
 * Usage: run_job.exe SECONDS PROGRAM [ARGUMENTS...] */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

/* The rest of the command line after its first word, as it was quoted. */
static char* skip_word(char* line) {
  int quoted = 0;
  for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line) {
    if (*line == '"') quoted = !quoted;
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

static int failed(const char* what) {
  fprintf(stderr, "run_job: %s: error %lu\n", what, GetLastError());
  return 125;
}

int main(int argc, char** argv) {
  if (argc < 3 || atoi(argv[1]) <= 0) {
    fputs("Usage: run_job.exe SECONDS PROGRAM [ARGUMENTS...]\n", stderr);
    return 125;
  }
  DWORD limit = (DWORD)atoi(argv[1]) * 1000;
  char* command = skip_word(skip_word(GetCommandLineA()));

  HANDLE job = CreateJobObjectA(NULL, NULL);
  HANDLE port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, NULL, 0, 1);
  if (!job || !port) return failed("job");
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT link = {job, port};
  if (!SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &link,
                               sizeof link)) {
    return failed("job");
  }
  /* Suspended until it is in the job, so that nothing it starts escapes. */
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(NULL, command, NULL, NULL, TRUE, CREATE_SUSPENDED, NULL, NULL,
                      &startup, &process)) {
    return failed(command);
  }
  if (!AssignProcessToJobObject(job, process.hProcess)) {
    TerminateProcess(process.hProcess, 125);
    return failed("job");
  }
  ResumeThread(process.hThread);

  DWORD start = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - start;
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED data = NULL;
    if (elapsed >= limit ||
        !GetQueuedCompletionStatus(port, &message, &key, &data, limit - elapsed)) {
      if (elapsed < limit && GetLastError() != WAIT_TIMEOUT) return failed("waiting");
      fprintf(stderr, "run_job: %s: still running after %s s; ended\n", command, argv[1]);
      TerminateJobObject(job, 124);
      return 124;
    }
    if (key == (ULONG_PTR)job && message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) break;
  }
  DWORD status = 125;
  GetExitCodeProcess(process.hProcess, &status);
  return (int)status;
}
