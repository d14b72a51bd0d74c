# Files of app/window, each added to the library of its layer (see app/CMakeLists.txt).
