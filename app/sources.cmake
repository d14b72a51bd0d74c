# Files of app/ itself (application shell), each added to the library of its layer.
