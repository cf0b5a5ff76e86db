// Must not compile: the views do not link the application shell.
#include "app/MainFrame.h"
