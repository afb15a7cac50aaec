// The body of a stand-in library whose every export is forwarded to the stand-in calls library
// (see its .def file): it has no code of its own.
