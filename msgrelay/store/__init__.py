"""What is kept: the message database's files, its schema and the messages held in memory."""
