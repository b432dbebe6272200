# Voices from a command: voices/NAME.ini in the data directory. Nothing to link.
