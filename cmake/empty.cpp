// Stands in for a library whose sources are not there yet.
