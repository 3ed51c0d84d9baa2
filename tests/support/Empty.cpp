// Keeps the support library non-empty while folders fill in.
