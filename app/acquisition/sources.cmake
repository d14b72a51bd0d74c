# Files of app/acquisition, each added to the library of its layer (see app/CMakeLists.txt).
