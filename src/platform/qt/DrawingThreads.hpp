#pragma once

class QThreadPool;

namespace mosaiko {

// A few threads the views draw on when a screen of new content comes at once (the texts of a
// search's results, the grid's rows); they go after some idle seconds, and with them the fonts
// they loaded. None before the application exists.
QThreadPool* drawingThreads();

}  // namespace mosaiko
