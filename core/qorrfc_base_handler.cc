// Placeholder until the connection core lands.
