# Files of app/resources, each added to the library of its layer (see app/CMakeLists.txt).
