# Files of app/session, each added to the library of its layer (see app/CMakeLists.txt).
