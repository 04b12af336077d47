#pragma once

// Puts right what a parent may leave a Linux program: closed standard streams,
// SIGCHLD ignored, and the default actions of SIGPIPE and SIGXFSZ, which would
// end it at a write to a closed pipe or past a file-size limit. Called first
// thing in main, before anything opens a file.
void ResetInheritedState();
