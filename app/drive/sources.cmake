# Files of app/drive, each added to the library of its layer (see app/CMakeLists.txt).
