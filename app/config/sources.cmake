# Files of app/config, each added to the library of its layer (see app/CMakeLists.txt).
