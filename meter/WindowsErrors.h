// The reason of a failed Windows call as the error number (errno) the rest of
// the program reports with strerror. Windows side only.
#pragma once

namespace tirevo {

// error: a GetLastError() value.
int ErrorNumberOf(unsigned long error);

}  // namespace tirevo
