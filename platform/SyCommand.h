// Shell command of the host framework.
#ifndef SY_COMMAND_H
#define SY_COMMAND_H

// Runs `command` through /bin/sh after resolving every word that begins with "/" under the
// sandbox root; `timeout` is a limit in seconds. Returns the shell's exit status, -1 when
// the command is empty or cannot run.
int sy_system(const char* command, int timeout);

#endif
