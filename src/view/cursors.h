#pragma once

#include "view/tools.h"

#include <QCursor>

// The pointer shown over the map for each tool.
QCursor toolCursor(ToolMode mode);
