// Filled by its own work.
