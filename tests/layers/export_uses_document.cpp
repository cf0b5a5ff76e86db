// Must not compile: the Qt-free export layer does not link the document.
#include "document/RolvetDoc.h"
