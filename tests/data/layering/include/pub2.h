// Another public header.
