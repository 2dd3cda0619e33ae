# Packaging and installation of the manual page and shell completion.
