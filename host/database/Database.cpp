// The clock database.
